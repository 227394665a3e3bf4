// The cost of a password-protected Bitwarden import: the same logins imported
// from the plain export and from the password-protected one (Argon2id at
// Bitwarden's default cost: 3 passes, 64 MiB, 4 lanes), in the same run, and
// the key derivation alone. The derivation should be all the difference.
//
//     ./bench/bench_protected --benchmark_format=json
#include "EmptyDatabase.h"
#include "exchange/BitwardenCrypto.h"
#include "exchange/ImportFile.h"
#include "exchange/Importer.h"
#include "exchange/ProtectedExport.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>
#include <benchmark/benchmark.h>

namespace {

const QString Password = QStringLiteral("correct horse battery staple");

struct Files {
    QTemporaryDir dir;
    QString emptyDatabase;
    QString plain(int logins);
    QString protectedExport(int logins);
};

Files& files() {
    static Files f;
    if (f.emptyDatabase.isEmpty())
        f.emptyDatabase = emptyDeliveredDatabase(f.dir);
    return f;
}

// Logins as Bitwarden writes them, each with a web address, a user and a note.
QString Files::plain(int logins) {
    const QString path = dir.filePath(QStringLiteral("plain-%1.json").arg(logins));
    if (QFile::exists(path))
        return path;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("{\"encrypted\": false, \"folders\": [], \"items\": [\n");
    for (int i = 0; i < logins; ++i)
        file.write(QStringLiteral("%1{\"type\": 1, \"name\": \"Site %2\", \"notes\": \"note %2\", \"favorite\": false, "
                                  "\"login\": {\"uris\": [{\"match\": null, \"uri\": \"https://site%2.example\"}], "
                                  "\"username\": \"user%2\", \"password\": \"pw-%2-x\", \"totp\": null}}\n")
                       .arg(i ? QStringLiteral(",") : QString())
                       .arg(i)
                       .toUtf8());
    file.write("]}\n");
    return path;
}

QString Files::protectedExport(int logins) {
    const QString path = dir.filePath(QStringLiteral("protected-%1.json").arg(logins));
    if (QFile::exists(path))
        return path;
    QFile in(plain(logins));
    in.open(QIODevice::ReadOnly);
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(ProtectedExport::protect(in.readAll(), Password));
    return path;
}

QString freshDatabase() {
    const QString path = files().dir.filePath(QStringLiteral("import.mdb"));
    QFile::remove(path);
    QFile::copy(files().emptyDatabase, path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

void BM_ImportPlainJson(benchmark::State& state) {
    const QString path = files().plain(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        const QString database = freshDatabase();
        state.ResumeTiming();
        benchmark::DoNotOptimize(Importer(database).run(path));
    }
}

// Unlocking (the key made from the password, the file checked and decrypted) and the import.
void BM_ImportProtectedArgon2id(benchmark::State& state) {
    const QString path = files().protectedExport(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        const QString database = freshDatabase();
        state.ResumeTiming();
        ImportOptions options;
        options.unlocked = ProtectedExport::unlock(path, Password);
        benchmark::DoNotOptimize(Importer(database).run(path, options));
    }
}

void BM_Argon2idKeyAtBitwardensDefaultCost(benchmark::State& state) {
    const QByteArray salt = BitwardenCrypto::randomBytes(16).toBase64();
    for (auto _ : state)
        benchmark::DoNotOptimize(BitwardenCrypto::deriveKeys(Password.toUtf8(), salt, {}));
}

} // namespace

BENCHMARK(BM_ImportPlainJson)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportProtectedArgon2id)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Argon2idKeyAtBitwardensDefaultCost)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

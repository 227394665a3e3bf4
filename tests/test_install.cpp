// The installed program: `cmake --install` into a temporary root, then the
// installed executable started offscreen with a home folder of its own.
#include "ProgramDirectory.h"
#include "core/DataLocation.h"
#include "help/AboutWindow.h"
#include "store/RecordIdentity.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <sys/stat.h>

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

QByteArray digest(const QString& path) {
    return QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256);
}

// Every row of a table as text, in key order: what a user sees of it.
QStringList rowsOf(SQLite::Database& db, const QString& table) {
    QStringList rows;
    SQLite::Statement query(db, QStringLiteral("SELECT * FROM \"%1\" ORDER BY 1").arg(table).toStdString());
    while (query.executeStep()) {
        QStringList values;
        for (int c = 0; c < query.getColumnCount(); ++c)
            values << QString::fromStdString(query.getColumn(c).getString());
        rows << values.join('|');
    }
    return rows;
}

QString gunzip(const QString& path) {
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), path});
    gzip.waitForFinished();
    return QString::fromUtf8(gzip.readAllStandardOutput());
}

// The values of a desktop entry's or similar key=value file.
QHash<QString, QString> keyValues(const QString& path) {
    QHash<QString, QString> values;
    const QStringList lines = QString::fromUtf8(fileBytes(path)).split('\n');
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && !line.startsWith('#'))
            values.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return values;
}

QString simplified(QString text) {
    text.replace(QRegularExpression(QStringLiteral("^ \\.$"), QRegularExpression::MultilineOption), QString());
    return text.simplified();
}

// One start of a program, offscreen, with a home folder of the test's. The
// program waits for a user, so a start that got past its data folder is still
// running after a while; one that cannot use its data folder says why on its
// error output and then waits on a message box.
struct Start {
    bool running = false;
    QString errors;
};

struct Until {
    QString errorText; // the start is over when its error output holds this
    QString file;      // or a second after this file appears
};

Start startProgram(const QString& program, const QString& home, const Until& until = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    process.setProcessEnvironment(env);
    process.start(program, {});
    Start start;
    if (!process.waitForStarted())
        return start;
    QElapsedTimer timer;
    timer.start();
    // A busy machine, or a sanitizer build, may take several seconds to start.
    const bool waits = !until.errorText.isEmpty() || !until.file.isEmpty();
    qint64 seenFile = -1;
    while (timer.elapsed() < (waits ? 30000 : 3000) && process.state() == QProcess::Running) {
        process.waitForReadyRead(200);
        start.errors += QString::fromUtf8(process.readAllStandardError());
        if (!until.errorText.isEmpty() && start.errors.contains(until.errorText))
            break;
        if (!until.file.isEmpty() && seenFile < 0 && QFileInfo::exists(until.file))
            seenFile = timer.elapsed();
        if (seenFile >= 0 && timer.elapsed() > seenFile + 1000)
            break;
    }
    start.running = process.state() == QProcess::Running;
    process.kill();
    process.waitForFinished();
    start.errors += QString::fromUtf8(process.readAllStandardError());
    return start;
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString usr(const QString& path) const { return m_root.filePath("usr/" + path); }
    QString program() const { return usr("bin/quillmere"); }
    QString templates() const { return usr("share/quillmere"); }

private slots:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        QProcess install;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), m_root.path());
        install.setProcessEnvironment(env);
        install.start(QStringLiteral(CMAKE_COMMAND), {QStringLiteral("--install"), QStringLiteral(BUILD_DIR),
                                                      QStringLiteral("--prefix"), QStringLiteral("/usr")});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
    }

    void installsWhereTheDesktopLooks_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("mode");
        QTest::newRow("program") << "bin/quillmere" << 0755;
        QTest::newRow("browser host") << "bin/quillmere-browser-host" << 0755;
        QTest::newRow("browser host's manual page") << "share/man/man1/quillmere-browser-host.1.gz" << 0644;
        for (const QString& name : DataLocation::databaseFiles() + DataLocation::layoutFiles())
            QTest::newRow(qPrintable("template " + name)) << "share/quillmere/" + name << 0644;
        QTest::newRow("desktop entry") << "share/applications/org.quillmere.Quillmere.desktop" << 0644;
        QTest::newRow("AppStream data") << "share/metainfo/org.quillmere.Quillmere.metainfo.xml" << 0644;
        QTest::newRow("scalable icon") << "share/icons/hicolor/scalable/apps/quillmere.svg" << 0644;
        QTest::newRow("manual page") << "share/man/man1/quillmere.1.gz" << 0644;
        QTest::newRow("copyright") << "share/doc/quillmere/copyright" << 0644;
        QTest::newRow("changelog") << "share/doc/quillmere/changelog.Debian.gz" << 0644;
#ifdef WITH_CLI
        QTest::newRow("command-line program") << "bin/quillmere-cli" << 0755;
        QTest::newRow("its manual page") << "share/man/man1/quillmere-cli.1.gz" << 0644;
#endif
    }
    void installsWhereTheDesktopLooks() {
        QFETCH(QString, path);
        QFETCH(int, mode);
        QVERIFY2(QFileInfo(usr(path)).isFile(), qPrintable(path));
        QCOMPARE(modeOf(usr(path)), mode_t(mode));
    }

    void iconsAreRenderedAtEverySize_data() {
        QTest::addColumn<int>("size");
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            QTest::newRow(qPrintable(QString::number(size))) << size;
    }
    void iconsAreRenderedAtEverySize() {
        QFETCH(int, size);
        const QImage icon(usr(QStringLiteral("share/icons/hicolor/%1x%1/apps/quillmere.png").arg(size)));
        QCOMPARE(icon.size(), QSize(size, size));
        // The picture is drawn, not left blank: its centre is the lock's colour, its corner clear.
        QVERIFY(qAlpha(icon.pixel(size / 2, size * 3 / 4)) > 200);
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
    }

    void whatTheDesktopNamesIsThere() {
        const auto entry = keyValues(usr("share/applications/org.quillmere.Quillmere.desktop"));
        QCOMPARE(entry.value("Exec"), QStringLiteral("quillmere"));
        QVERIFY(QFileInfo(usr("bin/" + entry.value("Exec"))).isExecutable());
        QVERIFY(QFileInfo::exists(usr("share/icons/hicolor/scalable/apps/" + entry.value("Icon") + ".svg")));
        const QString metainfo =
            QString::fromUtf8(fileBytes(usr("share/metainfo/org.quillmere.Quillmere.metainfo.xml")));
        QVERIFY(metainfo.contains("<launchable type=\"desktop-id\">org.quillmere.Quillmere.desktop</launchable>"));
        const QRegularExpression binary(QStringLiteral("<binary>([^<]+)</binary>"));
        for (const QRegularExpressionMatch& m : binary.globalMatch(metainfo))
            QVERIFY2(QFileInfo(usr("bin/" + m.captured(1))).isExecutable(), qPrintable(m.captured(1)));
        // Each screenshot is one the README shows.
        const QRegularExpression screenshot(QStringLiteral("<image>[^<]*/screenshots/([^<]+)</image>"));
        int screenshots = 0;
        for (const QRegularExpressionMatch& m : screenshot.globalMatch(metainfo)) {
            QVERIFY2(QFileInfo::exists(QStringLiteral(SOURCE_DIR "/docs/screenshots/") + m.captured(1)),
                     qPrintable(m.captured(1)));
            ++screenshots;
        }
        QVERIFY(screenshots > 0);
        const QString manual = gunzip(usr("share/man/man1/quillmere.1.gz"));
        QVERIFY(manual.startsWith(".TH QUILLMERE 1"));
        QVERIFY(manual.contains("local/share/quillmere"));
    }

#ifdef WITH_CLI
    // The command-line program's manual page holds what the program itself says of its commands.
    void commandLineManualTellsTheProgramsOwnHelp() {
        QProcess cli;
        cli.start(usr("bin/quillmere-cli"), {QStringLiteral("--help")});
        QVERIFY(cli.waitForFinished(30000));
        const QStringList help =
            QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(!help.isEmpty());
        const QString manual = gunzip(usr("share/man/man1/quillmere-cli.1.gz"));
        QVERIFY(manual.startsWith(".TH QUILLMERE\\-CLI 1"));
        for (QString line : help) {
            line.replace('\\', QStringLiteral("\\e"));
            QVERIFY2(manual.contains(line.trimmed()), qPrintable(line));
        }
    }
#endif

    void packageLicenceIsTheProgramsLicence() {
        const QString copyright = QString::fromUtf8(fileBytes(usr("share/doc/quillmere/copyright")));
        const qsizetype licence = copyright.indexOf("\nLicense: ");
        QVERIFY(licence > 0);
        const QString body = copyright.mid(copyright.indexOf('\n', licence + 1) + 1);
        QCOMPARE(simplified(body), simplified(AboutWindow::licenceText()));
    }

    // The templates hold the delivered samples, never records kept in the build folder.
    void templatesHoldTheDeliveredFilesOnly() {
        SQLite::Database fresh(":memory:", SQLite::OPEN_READWRITE);
        for (const char* source : {"/data/schema/password.sql", "/data/samples/password.sql"})
            fresh.exec(fileBytes(QStringLiteral(SOURCE_DIR) + source).toStdString());
        // The delivered samples carry identities derived from what they hold, the same in every build.
        RecordIdentity::deriveIdentities(fresh.getHandle(), true);
        SQLite::Database installed(templates().toStdString() + "/password.mdb", SQLite::OPEN_READONLY);
        for (const char* table : {"account", "Credit Card", "Personal", "Notes", "Reminder"})
            QCOMPARE(rowsOf(installed, table), rowsOf(fresh, table));
    }

    void firstStartMakesTheDataFolderAndLaterStartsKeepIt() {
        QTemporaryDir home;
        const QString data = home.filePath(".local/share/quillmere");
        const QByteArray templateDigest = digest(templates() + "/password.mdb");

        const Start first = startProgram(program(), home.path(), {.file = data + "/pass2.mdb"});
        QVERIFY2(first.running, qPrintable(first.errors));
        QVERIFY2(!first.errors.contains("quillmere:"), qPrintable(first.errors));
        QCOMPARE(modeOf(data), mode_t(0700));
        for (const QString& name : DataLocation::databaseFiles()) {
            QCOMPARE(modeOf(data + "/" + name), mode_t(0600));
            QCOMPARE(digest(data + "/" + name), digest(templates() + "/" + name));
        }

        addAccount(data + "/password.mdb", "Written between starts");
        const Start second = startProgram(program(), home.path());
        QVERIFY2(second.running, qPrintable(second.errors));
        QVERIFY2(!second.errors.contains("quillmere:"), qPrintable(second.errors));
        QCOMPARE(accountsNamed(data + "/password.mdb", "Written between starts"), 1);
        QCOMPARE(digest(templates() + "/password.mdb"), templateDigest);
    }

    void dataFolderLackingAFileIsReportedNotRefilled_data() {
        QTest::addColumn<QString>("removed");
        QTest::newRow("record database") << "password.mdb";
        QTest::newRow("sign-in store") << "pass2.mdb";
    }
    void dataFolderLackingAFileIsReportedNotRefilled() {
        QFETCH(QString, removed);
        QTemporaryDir home;
        const QString data = home.filePath(".local/share/quillmere");
        QVERIFY(startProgram(program(), home.path(), {.file = data + "/pass2.mdb"}).running);
        QVERIFY(QFile::remove(data + "/" + removed));

        const Start start = startProgram(program(), home.path(), {.errorText = "lacks " + removed});
        QVERIFY2(start.errors.contains(QStringLiteral("The folder of your records, %1, lacks %2.").arg(data, removed)),
                 qPrintable(start.errors));
        QVERIFY(!QFileInfo::exists(data + "/" + removed));
    }

    void portableCopyKeepsItsRecordsBesideTheProgram() {
        QTemporaryDir home;
        ProgramDirectory portable;
        QVERIFY(QFile::copy(program(), portable.file("quillmere")));
        QVERIFY(QFile::setPermissions(portable.file("quillmere"), QFile::ReadOwner | QFile::ExeOwner));
        const Start start = startProgram(portable.file("quillmere"), home.path());
        QVERIFY2(start.running, qPrintable(start.errors));
        QVERIFY2(!start.errors.contains("quillmere:"), qPrintable(start.errors));
        QVERIFY(!QFileInfo::exists(home.filePath(".local")));
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "test_install.moc"

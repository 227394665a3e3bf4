// Where the records live: a portable folder beside the program, or the user's
// data folder made from the delivered templates at the first start.
#include "ProgramDirectory.h"
#include "core/DataLocation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QFile::Permissions OwnerOnlyFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

// Permission bits as the file system holds them, whatever Qt adds for the owner's user.
mode_t modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

QByteArray digest(const QString& path) {
    return QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256);
}

void copyDelivered(const QString& name, const QString& folder) {
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::copy(QStringLiteral(DELIVERED_DIR "/") + name, QDir(folder).filePath(name)));
}

// An installed tree in a temporary folder: <root>/usr/bin (no database beside
// the program), <root>/usr/share/quillmere with the delivered templates, and a
// home folder with nothing in it yet.
class Installed {
public:
    Installed() {
        QVERIFY(QDir().mkpath(bin()));
        for (const QString& name : DataLocation::databaseFiles() + DataLocation::layoutFiles())
            copyDelivered(name, templates());
        QVERIFY(QDir().mkpath(home()));
    }
    QString bin() const { return m_root.filePath("usr/bin"); }
    QString templates() const { return m_root.filePath("usr/share/quillmere"); }
    QString home() const { return m_root.filePath("home/user"); }
    QString dataFolder() const { return home() + "/.local/share/quillmere"; }
    QString root() const { return m_root.path(); }
    DataLocation::Environment environment(const QString& xdgDataHome = {}) const {
        return {bin(), xdgDataHome, home()};
    }
    DataLocation start(const QString& xdgDataHome = {}) const { return DataLocation::decide(environment(xdgDataHome)); }

private:
    QTemporaryDir m_root;
};

class Umask {
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

} // namespace

class DataLocationTest : public QObject {
    Q_OBJECT
private slots:
    void portableFolderKeepsTheRecordsBesideTheProgram() {
        Installed tree;
        ProgramDirectory portable;
        const QByteArray before = portable.bytes("password.mdb");
        const DataLocation location = DataLocation::decide({portable.path(), tree.root() + "/xdg", tree.home()});
        QVERIFY2(location.error.isEmpty(), qPrintable(location.error));
        QVERIFY(location.portable);
        QVERIFY(!location.madeNow);
        QCOMPARE(location.dataDirectory, portable.path());
        QCOMPARE(location.templateDirectory, QString());
        QCOMPARE(location.file("pass2.mdb"), QDir::toNativeSeparators(portable.passwordStore()));
        QCOMPARE(location.layoutFile("notes.rpt"), QDir::toNativeSeparators(portable.file("notes.rpt")));
        QCOMPARE(portable.bytes("password.mdb"), before);
        QVERIFY(!QFileInfo::exists(tree.root() + "/xdg"));
        QVERIFY(!QFileInfo::exists(tree.home() + "/.local"));
    }

    void installedProgramKeepsTheRecordsInTheUsersDataFolder_data() {
        QTest::addColumn<QString>("xdgDataHome");
        QTest::addColumn<QString>("expected"); // relative to the tree's root
        QTest::newRow("XDG_DATA_HOME unset") << ""
                                             << "home/user/.local/share/quillmere";
        QTest::newRow("XDG_DATA_HOME set") << "@/xdg data"
                                           << "xdg data/quillmere";
        QTest::newRow("XDG_DATA_HOME with a trailing slash") << "@/xdg/"
                                                             << "xdg/quillmere";
        QTest::newRow("relative XDG_DATA_HOME is ignored") << "relative/data"
                                                           << "home/user/.local/share/quillmere";
    }
    void installedProgramKeepsTheRecordsInTheUsersDataFolder() {
        QFETCH(QString, xdgDataHome);
        QFETCH(QString, expected);
        Installed tree;
        xdgDataHome.replace("@", tree.root());
        // A program folder with only the sign-in store beside it is not a portable copy.
        copyDelivered("pass2.mdb", tree.bin());
        const DataLocation location = tree.start(xdgDataHome);
        QVERIFY2(location.error.isEmpty(), qPrintable(location.error));
        QVERIFY(!location.portable);
        QVERIFY(location.madeNow);
        QCOMPARE(location.dataDirectory, tree.root() + "/" + expected);
        QCOMPARE(QDir(location.templateDirectory).canonicalPath(), QDir(tree.templates()).canonicalPath());
        QVERIFY(!QFileInfo::exists(tree.bin() + "/password.mdb"));
        QVERIFY(!QFileInfo::exists(QDir::current().filePath("relative")));
    }

    void firstStartMakesAnOwnerOnlyFolderFromTheTemplates_data() {
        QTest::addColumn<int>("mask");
        QTest::newRow("usual umask") << 022;
        QTest::newRow("umask that keeps nothing back") << 0;
    }
    void firstStartMakesAnOwnerOnlyFolderFromTheTemplates() {
        QFETCH(int, mask);
        Installed tree;
        const Umask umaskDuringStart{mode_t(mask)};
        const DataLocation location = tree.start();
        QVERIFY2(location.error.isEmpty(), qPrintable(location.error));
        QCOMPARE(location.dataDirectory, tree.dataFolder());
        QCOMPARE(modeOf(tree.dataFolder()), mode_t(0700));
        // Folders of the data home made on the way are the user's alone too.
        QCOMPARE(modeOf(tree.home() + "/.local"), mode_t(0700));
        QCOMPARE(modeOf(tree.home() + "/.local/share"), mode_t(0700));
        for (const QString& name : DataLocation::databaseFiles()) {
            QCOMPARE(modeOf(location.file(name)), mode_t(0600));
            QCOMPARE(digest(location.file(name)), digest(tree.templates() + "/" + name));
        }
        // Only the databases are copied: the layouts are read from the templates until the user keeps their own.
        QCOMPARE(QDir(tree.dataFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"pass2.mdb", "password.mdb"}));
        // Nothing of the making is left beside the data folder.
        QCOMPARE(QDir(tree.home() + "/.local/share").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"quillmere"});
    }

    void laterStartsKeepTheRecordsAndNeverTouchTheTemplates() {
        Installed tree;
        const QByteArray templateDigest = digest(tree.templates() + "/password.mdb");
        const QDateTime templateTime = QFileInfo(tree.templates() + "/password.mdb").lastModified();
        const DataLocation first = tree.start();
        QVERIFY2(first.error.isEmpty(), qPrintable(first.error));
        addAccount(first.file("password.mdb"), "Written between starts");
        QVERIFY(QFile::setPermissions(tree.dataFolder(), OwnerOnlyFolder | QFile::ReadGroup | QFile::ExeGroup));

        const DataLocation second = tree.start();
        QVERIFY2(second.error.isEmpty(), qPrintable(second.error));
        QVERIFY(!second.madeNow);
        QCOMPARE(second.dataDirectory, first.dataDirectory);
        QCOMPARE(accountsNamed(second.file("password.mdb"), "Written between starts"), 1);
        // Permissions looser than the owner's alone are put right at every start.
        QCOMPARE(modeOf(tree.dataFolder()), mode_t(0700));
        // The copy is a file of its own: writing to it left the template as delivered.
        QCOMPARE(digest(tree.templates() + "/password.mdb"), templateDigest);
        QCOMPARE(QFileInfo(tree.templates() + "/password.mdb").lastModified(), templateTime);
        QCOMPARE(accountsNamed(tree.templates() + "/password.mdb", "Written between starts"), 0);
    }

    void dataFolderLackingAFileIsReportedNotRefilled_data() {
        QTest::addColumn<QStringList>("removed");
        QTest::newRow("record database gone") << QStringList{"password.mdb"};
        QTest::newRow("sign-in store gone") << QStringList{"pass2.mdb"};
        QTest::newRow("both gone") << QStringList{"password.mdb", "pass2.mdb"};
    }
    void dataFolderLackingAFileIsReportedNotRefilled() {
        QFETCH(QStringList, removed);
        Installed tree;
        const DataLocation first = tree.start();
        QVERIFY2(first.error.isEmpty(), qPrintable(first.error));
        addAccount(first.file("password.mdb"), "Kept by the user");
        for (const QString& name : removed)
            QVERIFY(QFile::remove(first.file(name)));
        const QStringList left = QDir(tree.dataFolder()).entryList(QDir::Files);
        QHash<QString, QByteArray> leftBytes;
        for (const QString& name : left)
            leftBytes[name] = fileBytes(first.file(name));

        const DataLocation second = tree.start();
        QVERIFY(!second.error.isEmpty());
        QVERIFY(!second.madeNow);
        QVERIFY2(second.error.contains(tree.dataFolder()), qPrintable(second.error));
        for (const QString& name : DataLocation::databaseFiles())
            QCOMPARE(second.error.contains(name), removed.contains(name));
        QVERIFY2(second.error.contains(tree.templates()), qPrintable(second.error));
        QCOMPARE(QDir(tree.dataFolder()).entryList(QDir::Files), left);
        for (const QString& name : left)
            QCOMPARE(fileBytes(first.file(name)), leftBytes[name]);
    }

    void startsThatCannotMakeTheDataFolderSayWhy_data() {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<QString>("told");
        QTest::newRow("empty folder made by hand") << "empty folder"
                                                   << "lacks password.mdb and pass2.mdb";
        QTest::newRow("a file where the folder goes") << "file"
                                                      << "it is not a folder";
        QTest::newRow("sign-in template missing") << "no pass2 template"
                                                  << "Install the program again";
        QTest::newRow("record template missing") << "no password template"
                                                 << "Install the program again";
    }
    void startsThatCannotMakeTheDataFolderSayWhy() {
        QFETCH(QString, spoil);
        QFETCH(QString, told);
        Installed tree;
        QVERIFY(QDir().mkpath(tree.home() + "/.local/share"));
        if (spoil == "empty folder")
            QVERIFY(QDir().mkdir(tree.dataFolder()));
        if (spoil == "file") {
            QFile f(tree.dataFolder());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("a note");
        }
        if (spoil == "no pass2 template")
            QVERIFY(QFile::remove(tree.templates() + "/pass2.mdb"));
        if (spoil == "no password template")
            QVERIFY(QFile::remove(tree.templates() + "/password.mdb"));
        const QStringList before =
            QDir(tree.home() + "/.local/share").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        const DataLocation location = tree.start();
        QVERIFY2(location.error.contains(told), qPrintable(location.error));
        QVERIFY(!location.madeNow);
        QCOMPARE(QDir(tree.home() + "/.local/share").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 before);
        if (spoil == "empty folder")
            QVERIFY(QDir(tree.dataFolder()).isEmpty());
        if (spoil == "file")
            QCOMPARE(fileBytes(tree.dataFolder()), QByteArray("a note"));
    }

    // A data folder made by hand or by another tool, open to every user: each
    // start makes it private before anything is read; one of another user is refused.
    void dataFolderIsMadePrivateAtEveryStart_data() {
        QTest::addColumn<bool>("portable");
        QTest::addColumn<bool>("otherOwner");
        QTest::newRow("user's data folder") << false << false;
        QTest::newRow("portable program folder") << true << false;
        QTest::newRow("user's data folder of another user") << false << true;
        QTest::newRow("portable folder of another user") << true << true;
    }
    void dataFolderIsMadePrivateAtEveryStart() {
        QFETCH(bool, portable);
        QFETCH(bool, otherOwner);
        Installed tree;
        ProgramDirectory programFolder;
        QVERIFY(tree.start().error.isEmpty());
        const QString folder = portable ? programFolder.path() : tree.dataFolder();
        // Everything the folder may hold, as loose as another tool leaves it.
        const QMap<QString, mode_t> files{{"password.mdb", 0644},
                                          {"pass2.mdb", 0666},
                                          {"password.mdb-journal", 0644},
                                          {"password.before-restore.mdb", 0644},
                                          {"notes.rpt", 0644},
                                          {"quillmere", 0755}};
        for (auto it = files.begin(); it != files.end(); ++it) {
            if (!QFileInfo::exists(QDir(folder).filePath(it.key()))) {
                QFile make(QDir(folder).filePath(it.key()));
                QVERIFY(make.open(QIODevice::WriteOnly));
            }
            QCOMPARE(::chmod(QFile::encodeName(QDir(folder).filePath(it.key())).constData(), it.value()), 0);
        }
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), portable ? 0777 : 0755), 0);
        if (otherOwner && ::chown(QFile::encodeName(folder).constData(), 65534, 65534) != 0)
            QSKIP("files cannot be given to another user here");
        const QByteArray records = fileBytes(QDir(folder).filePath("password.mdb"));

        const DataLocation location =
            portable ? DataLocation::decide({folder, tree.root() + "/xdg", tree.home()}) : tree.start();
        QCOMPARE(QFileInfo(location.dataDirectory).canonicalFilePath(), QFileInfo(folder).canonicalFilePath());
        if (otherOwner) {
            QVERIFY2(location.error.contains("belongs to another user"), qPrintable(location.error));
            QCOMPARE(modeOf(folder), mode_t(portable ? 0777 : 0755));
            QCOMPARE(modeOf(QDir(folder).filePath("password.mdb")), mode_t(0644));
            return;
        }
        QVERIFY2(location.error.isEmpty(), qPrintable(location.error));
        // A program folder stays readable, so others can run the program, but nobody else may change it.
        QCOMPARE(modeOf(folder), mode_t(portable ? 0755 : 0700));
        for (auto it = files.begin(); it != files.end(); ++it) {
            const bool records = it.key().contains(".mdb");
            QCOMPARE(modeOf(QDir(folder).filePath(it.key())),
                     (records || !portable) ? mode_t(it.value() & 0700) : it.value());
        }
        QCOMPARE(fileBytes(QDir(folder).filePath("password.mdb")), records);
    }

    void layoutsComeFromTheDataFolderElseFromTheTemplates_data() {
        QTest::addColumn<bool>("ownLayout");
        QTest::addColumn<QString>("expectedFolder");
        QTest::newRow("delivered layout") << false << "templates";
        QTest::newRow("the user's own layout") << true << "data";
    }
    void layoutsComeFromTheDataFolderElseFromTheTemplates() {
        QFETCH(bool, ownLayout);
        QFETCH(QString, expectedFolder);
        Installed tree;
        const DataLocation location = tree.start();
        QVERIFY2(location.error.isEmpty(), qPrintable(location.error));
        if (ownLayout)
            copyDelivered("notes.rpt", tree.dataFolder());
        const QString folder = expectedFolder == "data" ? tree.dataFolder() : tree.templates();
        QCOMPARE(QFileInfo(location.layoutFile("notes.rpt")).canonicalFilePath(),
                 QFileInfo(folder + "/notes.rpt").canonicalFilePath());
        QCOMPARE(QFileInfo(location.layoutFile("password.rpt")).canonicalFilePath(),
                 QFileInfo(tree.templates() + "/password.rpt").canonicalFilePath());
    }
};

QTEST_GUILESS_MAIN(DataLocationTest)
#include "test_datalocation.moc"

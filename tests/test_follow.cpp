// The running program follows the record database while other programs write
// it or put another file in its place (a sync tool bringing another computer's
// version): the main window, an open editor and the Find window show the new
// state within seconds, what the user types stays, and Delete and New write
// into the file that is at the path now.
#include "Fakes.h"
#include "Helpers.h"
#include "OpenMainWindow.h"
#include "ProgramDirectory.h"
#include "StampText.h"
#include "app/MainWindow.h"
#include "editors/RecordEditor.h"
#include "find/FindWindow.h"
#include "sections/PasswordPanel.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTableView>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <cstdio>

namespace {

constexpr int Seconds = 5000; // "within a few seconds"

QString value(const QString& path, const QString& sql) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    return QString::fromStdString(db.execAndGet(sql.toStdString()).getString());
}

// Another computer's version of the file put in its place, as a sync tool does:
// written beside it, then renamed over it. The records are the same with other
// keys (the file was built anew), the given SQL run on it.
void replaceFile(const ProgramDirectory& dir, const QString& sql) {
    const QString incoming = dir.file(".syncthing.password.mdb.tmp");
    QFile::remove(incoming);
    {
        SQLite::Database db(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE);
        SQLite::Statement vacuum(db, "VACUUM INTO ?");
        vacuum.bind(1, incoming.toStdString());
        vacuum.exec();
    }
    SQLite::Database db(incoming.toStdString(), SQLite::OPEN_READWRITE);
    // Every key moves: the records are found again by their identities alone.
    for (const char* table : {"account", "Notes"})
        db.exec(QStringLiteral("UPDATE \"%1\" SET _key = _key + 1000").arg(table).toStdString());
    if (!sql.isEmpty())
        db.exec(sql.toStdString());
    QVERIFY(std::rename(QFile::encodeName(incoming).constData(), QFile::encodeName(dir.recordDatabase()).constData()) ==
            0);
}

// The two ways another program changes the records under a window: it writes
// the file, or it puts another file in its place (as a sync tool does).
void addWaysTheFileChanges() {
    QTest::addColumn<bool>("replaced");
    QTest::newRow("another program writes the file") << false;
    QTest::newRow("another file takes its place") << true;
}

} // namespace

class FollowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // The record shown changes elsewhere, records come and go: the window follows,
    // on the record it showed.
    void mainWindowFollowsTheFile_data() { addWaysTheFileChanges(); }
    void mainWindowFollowsTheFile() {
        QFETCH(bool, replaced);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        click(main, "cmdPasswords");
        main->DatPassword->MoveNext(); // the second record, so that its place tells
        const QString shown = main->DatPassword->currentIdentity();
        QCOMPARE(main->PicPassword->Text1->text(), QStringLiteral("Online Bookshop"));
        const QString sql = QStringLiteral("UPDATE account SET Account = 'Bookshop (renamed)' WHERE %2 = '%1';"
                                           "DELETE FROM account WHERE Account = 'Webmail';"
                                           "INSERT INTO account (Account) VALUES ('Added elsewhere')")
                                .arg(shown, identityText());
        if (replaced)
            replaceFile(dir, sql);
        else
            dir.exec("password.mdb", sql);
        QTRY_COMPARE_WITH_TIMEOUT(main->PicPassword->Text1->text(), QStringLiteral("Bookshop (renamed)"), Seconds);
        QCOMPARE(main->DatPassword->currentIdentity(), shown);
        QCOMPARE(main->DatPassword->RecordCount(), qint64(4));
        QTRY_COMPARE_WITH_TIMEOUT(main->Label29->text(), QStringLiteral("4  Passwords"), Seconds);

        // Delete writes into the file at the path now, and removes the record shown.
        fake.prompter.answers << true;
        click(main, "cmdDelete");
        QCOMPARE(value(dir.recordDatabase(),
                       QStringLiteral("SELECT count(*) FROM account WHERE %2 = '%1'").arg(shown, identityText())),
                 QString("0"));
        QCOMPARE(value(dir.recordDatabase(), "SELECT count(*) FROM account"), QString("3"));
        // New too.
        click(main, "cmdNew");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find(QStringLiteral("frmAddpassword")));
        QVERIFY(editor);
        QTest::keyClicks(editor->box("Text1"), "New after the change");
        click(editor, "cmdSave");
        QCOMPARE(value(dir.recordDatabase(), "SELECT count(*) FROM account WHERE Account = 'New after the change'"),
                 QString("1"));
        QCOMPARE(main->PicPassword->Text1->text(), QStringLiteral("New after the change"));
        QCOMPARE(fake.prompter.unexpectedQuestions, 0);
    }

    // An open editor shows what others store in the boxes the user has not
    // touched, and keeps what the user typed; its save goes into the file at the path.
    void editorKeepsWhatTheUserTypes_data() { addWaysTheFileChanges(); }
    void editorKeepsWhatTheUserTypes() {
        QFETCH(bool, replaced);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        click(main, "cmdPasswords");
        const QString shown = main->DatPassword->currentIdentity();
        click(main, "cmdEdit");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find(QStringLiteral("frmAddpassword")));
        QVERIFY(editor);
        auto* user = qobject_cast<QLineEdit*>(editor->box("Text3"));
        user->selectAll();
        QTest::keyClicks(user, "typed here");
        const QString sql = QStringLiteral("UPDATE account SET Website = 'https://moved.example.com' WHERE %2 = '%1'")
                                .arg(shown, identityText());
        if (replaced)
            replaceFile(dir, sql);
        else
            dir.exec("password.mdb", sql);
        auto* website = qobject_cast<QLineEdit*>(editor->box("Text2"));
        QTRY_COMPARE_WITH_TIMEOUT(website->text(), QStringLiteral("https://moved.example.com"), Seconds);
        QCOMPARE(user->text(), QStringLiteral("typed here"));
        QCOMPARE(user->cursorPosition(), int(user->text().size())); // the box was not written over
        QTest::keyClicks(user, " and more");
        click(editor, "cmdSave");
        const QString where = QStringLiteral(" FROM account WHERE %2 = '%1'").arg(shown, identityText());
        QCOMPARE(value(dir.recordDatabase(), "SELECT User" + where), QStringLiteral("typed here and more"));
        QCOMPARE(value(dir.recordDatabase(), "SELECT Website" + where), QStringLiteral("https://moved.example.com"));
        QCOMPARE(value(dir.recordDatabase(), "SELECT count(*) FROM account"), QString("4"));
    }

    // The Find window's list follows the file as it is now.
    void findWindowFollowsTheFile_data() { addWaysTheFileChanges(); }
    void findWindowFollowsTheFile() {
        QFETCH(bool, replaced);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        clickButton(main, "cmdFind");
        auto* find = fake.windows.find<FindWindow>();
        QVERIFY(find);
        QTest::keyClicks(find->txtFind, "heron");
        QAbstractItemModel* rows = find->lstResults->model();
        QTRY_COMPARE_WITH_TIMEOUT(rows->rowCount(), 1, Seconds);
        const QString sql = "INSERT INTO Notes (Title, Note) VALUES ('Heron count', 'Seen at the lake')";
        if (replaced)
            replaceFile(dir, sql);
        else
            dir.exec("password.mdb", sql);
        QTRY_COMPARE_WITH_TIMEOUT(rows->rowCount(), 2, Seconds);
        QCOMPARE(find->txtFind->text(), QStringLiteral("heron"));
        // The one picked shows in the main window, from the same file.
        for (int row = 0; row < rows->rowCount(); ++row)
            if (rows->index(row, 1).data().toString() == QStringLiteral("Heron count"))
                find->lstResults->setCurrentIndex(rows->index(row, 0));
        QTest::keyClick(find->txtFind, Qt::Key_Return);
        QCOMPARE(main->DatNotes->value("Title"), QStringLiteral("Heron count"));
    }
};

QTEST_MAIN(FollowTest)
#include "test_follow.moc"

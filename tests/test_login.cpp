// The sign-in window: the exact comparison, the help area, the password change.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "platform/Geometry.h"

#include <QAccessible>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>

class LoginTest : public QObject {
    Q_OBJECT

    LoginWindow* open(FakeContext& fake) {
        auto* login = fake.windows.show<LoginWindow>(fake.context);
        if (login)
            QVERIFY_RESULT(QTest::qWaitForWindowExposed(login));
        return login;
    }
    static bool QVERIFY_RESULT(bool ok) { return ok; }

    void signIn(LoginWindow* login, const QString& typed) {
        login->Text2->setText(typed);
        click(login, "cmdLogin");
    }

private slots:
    void initialPasswordSignsIn() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        LoginWindow* login = open(fake);
        QVERIFY(login);
        QCOMPARE(login->windowTitle(), QStringLiteral("Login"));
        QCOMPARE(login->Text1->text(), QString()); // filled only once Change has checked the entry
        QCOMPARE(login->size(), QSize(twips(6330), twips(2610)));
        signIn(login, "wren");
        QVERIFY(fake.prompter.calls.isEmpty());
        QVERIFY(fake.windows.find<MainWindow>());
        QVERIFY(!fake.windows.find<LoginWindow>());
        QCOMPARE(fake.windows.openWindows().size(), 1);
    }

    void otherEntriesAreRefused_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("other case") << "Wren";
        QTest::newRow("leading blank") << " wren";
        QTest::newRow("trailing blank") << "wren ";
        QTest::newRow("empty") << "";
        QTest::newRow("longer") << "wrenwren";
    }
    void otherEntriesAreRefused() {
        QFETCH(QString, typed);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        LoginWindow* login = open(fake);
        for (int attempt = 0; attempt < 5; ++attempt) {
            signIn(login, typed);
            QCOMPARE(fake.prompter.calls.size(), attempt + 1);
            QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
            QCOMPARE(fake.prompter.last().text, QStringLiteral("Please enter the correct Password."));
            QCOMPARE(fake.prompter.last().title, QStringLiteral("Quillmere Password Storage"));
            QCOMPARE(login->Text2->text(), typed);
            QVERIFY(!fake.windows.find<MainWindow>());
        }
        signIn(login, "wren");
        QVERIFY(fake.windows.find<MainWindow>());
    }

    void emptyStoredPasswordAcceptsEmptyEntry() {
        ProgramDirectory dir;
        dir.exec("pass2.mdb", "UPDATE Pass SET Password = ''");
        FakeContext fake(dir.path());
        signIn(open(fake), "");
        QVERIFY(fake.prompter.calls.isEmpty());
        QVERIFY(fake.windows.find<MainWindow>());
    }

    void helpAndHideSetTheHeight() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        LoginWindow* login = open(fake);
        const int hidden = login->height();
        click(login, "cmdHide");
        QCOMPARE(login->height(), hidden);
        click(login, "cmdHelp");
        QCOMPARE(login->height(), twips(5115 - 420));
        QCOMPARE(login->width(), twips(6330));
        QVERIFY(login->Text3->toPlainText().startsWith("The initial Password is \"wren\".\n"));
        click(login, "cmdHide");
        QCOMPARE(login->height(), hidden);
    }

    void closingWithoutSignInOpensNoRecords() {
        ProgramDirectory dir;
        QFile::remove(dir.recordDatabase()); // would be reported if anything opened it
        FakeContext fake(dir.path());
        LoginWindow* login = open(fake);
        login->close();
        QVERIFY(fake.windows.openWindows().isEmpty());
        QVERIFY(fake.prompter.calls.isEmpty());
        QVERIFY(!QFile::exists(dir.recordDatabase()));
    }

    void brokenPasswordStoreEndsCleanly_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("missing") << "remove"
                                 << "is missing";
        QTest::newRow("garbage") << "garbage"
                                 << "not a database";
        QTest::newRow("no table") << "DROP TABLE Pass"
                                  << "no table \"Pass\"";
    }
    void brokenPasswordStoreEndsCleanly() {
        QFETCH(QString, damage);
        QFETCH(QString, fragment);
        ProgramDirectory dir;
        if (damage == "remove")
            QFile::remove(dir.passwordStore());
        else if (damage == "garbage") {
            QFile f(dir.passwordStore());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("This is not a database at all, just some text that somebody saved here.");
        } else
            dir.exec("pass2.mdb", damage);
        const QByteArray before = dir.bytes("pass2.mdb");
        FakeContext fake(dir.path());
        QVERIFY(!fake.windows.show<LoginWindow>(fake.context));
        QCOMPARE(fake.prompter.calls.size(), 1);
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY2(fake.prompter.last().text.contains(fragment), qPrintable(fake.prompter.last().text));
        QVERIFY(fake.prompter.last().text.contains(dir.passwordStore()));
        QVERIFY(fake.windows.openWindows().isEmpty());
        QCOMPARE(dir.bytes("pass2.mdb"), before);
        QCOMPARE(QFile::exists(dir.passwordStore()), damage != "remove");
    }

    void brokenRecordDatabaseEndsAtSignIn() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "DROP TABLE Reminder");
        FakeContext fake(dir.path());
        fake.prompter.answers = {false}; // no Database Utility
        signIn(open(fake), "wren");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("ask"));
        QVERIFY(fake.prompter.last().text.contains("no table \"Reminder\""));
        QVERIFY(fake.windows.openWindows().isEmpty());
    }

    void changingThePassword() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        LoginWindow* login = open(fake);
        login->Text2->setText("wrong");
        click(login, "cmdChange");
        QCOMPARE(fake.prompter.last().text,
                 QStringLiteral("Please enter the current Password to change the Password."));
        QVERIFY(login->jcFrames2->isVisible());
        QVERIFY(!login->jcFrames1->isVisible());

        login->Text2->setText("wren");
        click(login, "cmdChange");
        QVERIFY(login->jcFrames1->isVisible());
        QVERIFY(!login->jcFrames2->isVisible());
        QCOMPARE(login->Text1->text(), QStringLiteral("wren"));
        QCOMPARE(QApplication::focusWidget(), login->Text1);
        login->Text1->setText("Kestrel 9");
        click(login, "cmdSave");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        QCOMPARE(fake.prompter.last().text, QStringLiteral("Your new Password has been saved."));
        QVERIFY(login->jcFrames2->isVisible());
        QCOMPARE(login->Text2->text(), QStringLiteral("wren"));
        QCOMPARE(dir.query("pass2.mdb", "SELECT Password FROM Pass"), QStringLiteral("Kestrel 9"));
        QVERIFY(isOwnerOnly(dir.passwordStore()));

        // The old entry still stands in the box: the sign-in fails until the new one is typed.
        click(login, "cmdLogin");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("Please enter the correct Password."));
        signIn(login, "Kestrel 9");
        QVERIFY(fake.windows.find<MainWindow>());
    }

    void newPasswordHoldsAfterRestartAndUnchangedSaveConfirms() {
        ProgramDirectory dir;
        dir.exec("pass2.mdb", "UPDATE Pass SET Password = 'Heron'");
        {
            FakeContext fake(dir.path());
            LoginWindow* login = open(fake);
            login->Text2->setText("Heron");
            click(login, "cmdChange");
            click(login, "cmdSave");
            QCOMPARE(fake.prompter.last().text, QStringLiteral("Your new Password has been saved."));
        }
        FakeContext fake(dir.path());
        signIn(open(fake), "Heron");
        QVERIFY(fake.windows.find<MainWindow>());
    }

    void closingDuringChangeKeepsTheStoredPassword() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        LoginWindow* login = open(fake);
        login->Text2->setText("wren");
        click(login, "cmdChange");
        login->Text1->setText("half typed");
        login->close();
        QCOMPARE(dir.query("pass2.mdb", "SELECT Password FROM Pass"), QStringLiteral("wren"));
    }

    // The hidden Change Password box holds the stored password only after Change
    // has checked the entry: before, anything that reads the window's
    // accessibility tree (a screen reader, or any program of the session) would get it.
    void storedPasswordIsHiddenUntilChangeChecksTheEntry_data() {
        QTest::addColumn<QString>("steps");
        QTest::newRow("at start") << "";
        QTest::newRow("after a wrong entry at Login") << "wrong login";
        QTest::newRow("after a wrong entry at Change") << "wrong change";
        QTest::newRow("after a change saved") << "change save";
    }
    void storedPasswordIsHiddenUntilChangeChecksTheEntry() {
        QFETCH(QString, steps);
        const QString stored = "Heron-7731";
        ProgramDirectory dir;
        dir.exec("pass2.mdb", "UPDATE Pass SET Password = '" + stored + "'");
        FakeContext fake(dir.path());
        LoginWindow* login = open(fake);
        QVERIFY(login);
        if (steps == "wrong login") {
            signIn(login, "Heron");
        } else if (steps == "wrong change") {
            login->Text2->setText("Heron");
            click(login, "cmdChange");
        } else if (steps == "change save") {
            login->Text2->setText(stored);
            click(login, "cmdChange");
            QCOMPARE(login->Text1->text(), stored);
            click(login, "cmdSave");
        }
        QVERIFY(!login->jcFrames1->isVisible());
        QCOMPARE(login->Text1->text(), QString());
        QStringList texts;
        // The hidden frame's tree: the entry box holds what the user typed, as it should.
        QList<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(login->jcFrames1)};
        while (!pending.isEmpty()) {
            QAccessibleInterface* face = pending.takeFirst();
            for (const QAccessible::Text kind : {QAccessible::Name, QAccessible::Value, QAccessible::Description})
                texts << face->text(kind);
            if (QAccessibleTextInterface* text = face->textInterface())
                texts << text->text(0, text->characterCount());
            for (int i = 0; i < face->childCount(); ++i)
                pending << face->child(i);
        }
        QVERIFY(texts.size() > 6);
        QVERIFY2(!texts.join('\n').contains(stored), qPrintable(texts.join('|')));
        QCOMPARE(dir.query("pass2.mdb", "SELECT Password FROM Pass"), stored);
    }

    void refusedSaveKeepsTheChangeOpen() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        LoginWindow* login = open(fake);
        login->Text2->setText("wren");
        click(login, "cmdChange");
        dir.refuseWrites("pass2.mdb", "Pass");
        login->Text1->setText("Osprey");
        click(login, "cmdSave");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY(fake.prompter.last().text.startsWith("Your new Password has not been saved."));
        QVERIFY(login->jcFrames1->isVisible());
        QCOMPARE(dir.query("pass2.mdb", "SELECT Password FROM Pass"), QStringLiteral("wren"));
    }
};

QTEST_MAIN(LoginTest)
#include "test_login.moc"

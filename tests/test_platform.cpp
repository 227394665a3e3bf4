// The desktop's own message boxes and file dialogs, shown for real and answered
// from a timer as a user would.
#include "platform/Geometry.h"
#include "platform/MessageText.h"
#include "platform/QtSeams.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// Runs inspect on the next modal window as soon as it shows, then lets show() return.
template <class Dialog> void whenShown(const std::function<void(Dialog*)>& inspect) {
    QTimer::singleShot(0, [inspect] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        QVERIFY2(dialog, "no dialog showed");
        inspect(dialog);
    });
}

void answer(QMessageBox* box) {
    QAbstractButton* button =
        box->button(QMessageBox::No) ? box->button(QMessageBox::No) : box->button(QMessageBox::Ok);
    button->click();
}

} // namespace

class PlatformTest : public QObject {
    Q_OBJECT
private slots:
    void messageBoxesAreWideEnoughForTheirTitle_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::newRow("warning") << "warn"
                                 << "There is no Text to copy." << ProgramTitle;
        QTest::newRow("information") << "info"
                                     << "Backup has been saved." << ProgramTitle;
        QTest::newRow("critical") << "critical"
                                  << "The record has not been saved." << ProgramTitle;
        QTest::newRow("question") << "ask"
                                  << "Do you want to backup the Database ?"
                                  << "Close Program";
        QTest::newRow("own title") << "warn"
                                   << "Can't find database."
                                   << "Database not found";
    }
    void messageBoxesAreWideEnoughForTheirTitle() {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QtPrompter prompter;
        int width = 0;
        QString shownTitle;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            width = box->width();
            shownTitle = box->windowTitle();
            answer(box);
        });
        if (kind == "warn")
            prompter.warn(text, title);
        else if (kind == "info")
            prompter.info(text, title);
        else if (kind == "critical")
            prompter.critical(text, title);
        else
            QCOMPARE(prompter.ask(text, title), false);
        QCOMPARE(shownTitle, title);
        // A title bar shows the title in bold beside an icon and three buttons.
        QFont bold = QApplication::font();
        bold.setBold(true);
        const int needed = QFontMetrics(bold).horizontalAdvance(title) + 4 * 20;
        QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
    }

    // A question of several buttons answers with the one pressed; Escape presses the last, the way out.
    void choiceBoxesAnswerWithThePressedButton_data() {
        QTest::addColumn<QString>("press"); // a caption, or "Escape"
        QTest::addColumn<int>("answer");
        QTest::newRow("first") << "Keep Mine" << 0;
        QTest::newRow("middle") << "Keep Both" << 2;
        QTest::newRow("Escape") << "Escape" << 3;
    }
    void choiceBoxesAnswerWithThePressedButton() {
        QFETCH(QString, press);
        QFETCH(int, answer);
        const QStringList buttons{"Keep Mine", "Keep Theirs", "Keep Both", "Cancel"};
        QtPrompter prompter;
        QStringList shown;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            for (QAbstractButton* button : box->buttons())
                shown << button->text();
            if (press == "Escape") {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* button : box->buttons())
                if (button->text() == press)
                    button->click();
        });
        QCOMPARE(prompter.choose("Another program changed this record.", buttons, ProgramTitle), answer);
        shown.sort();
        QStringList expected = buttons;
        expected.sort();
        QCOMPARE(shown, expected);
    }

    // A window placed beside another covers it the least a side allows and stays whole on the screen.
    void windowsPlacedBesideStayOnTheScreen_data() {
        QTest::addColumn<QPoint>("otherAt");
        QTest::addColumn<QSize>("otherSize");
        QTest::addColumn<int>("leastHeight"); // of the window placed: 0 when its size is fixed
        QTest::addColumn<bool>("besideWithoutCover");
        QTest::newRow("room on the right") << QPoint(0, 0) << QSize(200, 150) << 0 << true;
        QTest::newRow("room on the left only") << QPoint(-1, 0) << QSize(200, 150) << 0 << true;
        QTest::newRow("room below only") << QPoint(0, 0) << QSize(-1, 150) << 0 << true;
        QTest::newRow("no room anywhere") << QPoint(0, 0) << QSize(-1, -1) << 0 << false;
        // 120 pixels below, title bar and gap included: too few for the window, enough
        // for it shrunk; a window that may not shrink covers the other instead.
        QTest::newRow("little room below, the window shrinks") << QPoint(0, 0) << QSize(-1, -120) << 80 << true;
        QTest::newRow("little room below, the window keeps its size") << QPoint(0, 0) << QSize(-1, -120) << 0 << false;
    }
    void windowsPlacedBesideStayOnTheScreen() {
        QFETCH(QPoint, otherAt);
        QFETCH(QSize, otherSize);
        QFETCH(int, leastHeight);
        QFETCH(bool, besideWithoutCover);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        // Negative: as wide (or high) as the screen less that much, or at its right edge.
        const QSize size(otherSize.width() < 0 ? area.width() + otherSize.width() + 1 : otherSize.width(),
                         otherSize.height() < 0 ? area.height() + otherSize.height() + 1 : otherSize.height());
        QWidget other;
        other.setGeometry(QRect(QPoint(otherAt.x() < 0 ? area.right() - size.width() + 1 : area.left() + otherAt.x(),
                                       area.top() + otherAt.y()),
                                size));
        other.show();
        QWidget window;
        window.setFixedSize(220, 160);
        if (leastHeight)
            window.setMinimumHeight(leastHeight);
        placeBeside(&window, &other);
        QVERIFY(window.height() >= window.minimumHeight());
        const QRect placed(window.pos(), window.size());
        QVERIFY2(area.contains(placed), qPrintable(QStringLiteral("%1,%2").arg(placed.x()).arg(placed.y())));
        QCOMPARE(!placed.intersects(other.frameGeometry()), besideWithoutCover);
    }

    void longMessagesStayOnTheScreen_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("a name of 100,000 characters")
            << QStringLiteral("Are you sure you want to delete ") + QString(100000, QLatin1Char('W')) + " ?";
        QTest::newRow("a name of 100,000 words")
            << QStringLiteral("Are you sure you want to delete ") + QStringLiteral("word ").repeated(20000) + "?";
        QTest::newRow("2,000 lines") << QStringLiteral("line\n").repeated(2000);
    }
    void longMessagesStayOnTheScreen() {
        QFETCH(QString, text);
        QtPrompter prompter;
        QRect box;
        QRect yes;
        QRect screen;
        whenShown<QMessageBox>([&](QMessageBox* shown) {
            box = shown->frameGeometry();
            QAbstractButton* button = shown->button(QMessageBox::Yes);
            yes = QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
            screen = shown->screen()->availableGeometry();
            answer(shown);
        });
        QCOMPARE(prompter.ask(text, ProgramTitle), false);
        QVERIFY2(box.height() <= screen.height(), qPrintable(QStringLiteral("%1 high").arg(box.height())));
        QVERIFY(screen.contains(yes));
    }

    void quotedTextIsShortenedInTheMiddle_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("tail");
        QTest::addColumn<int>("maxLength");
        QTest::newRow("short stays whole") << "Webmail"
                                           << "Webmail"
                                           << "Webmail" << 7;
        QTest::newRow("long keeps both ends") << "Begin" + QString(100000, 'x') + "End"
                                              << "Beginxx"
                                              << "xxEnd" << 300;
        QTest::newRow("many lines keep both ends") << "first\n" + QStringLiteral("middle\n").repeated(500) + "last"
                                                   << "first\nmiddle"
                                                   << "middle\nlast" << 300;
        // An emoji is two UTF-16 units: a cut never leaves half of one.
        QTest::newRow("surrogate pairs") << QStringLiteral("\U0001F511").repeated(1000) << "\U0001F511"
                                         << "\U0001F511" << 302;
    }
    void quotedTextIsShortenedInTheMiddle() {
        QFETCH(QString, stored);
        QFETCH(QString, head);
        QFETCH(QString, tail);
        QFETCH(int, maxLength);
        const QString quoted = quotedInMessage(stored);
        QVERIFY2(quoted.size() <= maxLength, qPrintable(QString::number(quoted.size())));
        QVERIFY(quoted.startsWith(head));
        QVERIFY(quoted.endsWith(tail));
        QVERIFY(quoted.isValidUtf16());
        QVERIFY(quoted.count(QLatin1Char('\n')) < 6);
        QCOMPARE(quoted.contains(QStringLiteral("\u2026")), quoted != stored);
    }

    void fileDialogsStartInAFolderThatExists_data() {
        QTest::addColumn<QString>("folder"); // below the temporary directory
        QTest::addColumn<QString>("proposedName");
        QTest::addColumn<QString>("shownFolder");
        QTest::addColumn<QString>("shownName");
        QTest::newRow("missing folder") << "Documents"
                                        << ""
                                        << ""
                                        << "";
        QTest::newRow("missing folder, a name proposed") << "Documents"
                                                         << "password"
                                                         << ""
                                                         << "password";
        QTest::newRow("existing folder") << "Existing"
                                         << ""
                                         << "Existing"
                                         << "";
        QTest::newRow("deeper missing folder") << "Existing/Gone/Deeper"
                                               << ""
                                               << "Existing"
                                               << "";
    }
    void fileDialogsStartInAFolderThatExists() {
        QFETCH(QString, folder);
        QFETCH(QString, proposedName);
        QFETCH(QString, shownFolder);
        QFETCH(QString, shownName);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Existing")));
        const QString base = QDir(dir.path()).canonicalPath();
        QtFileDialogs dialogs;
        QString openedIn;
        QString nameBox;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            openedIn = dialog->directory().canonicalPath();
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                nameBox = name->text();
            dialog->reject();
        });
        const FileDialogRequest request{QStringLiteral("Restore Backup Database"), proposedName,
                                        QStringLiteral("Database Files (*.mdb)"), base + '/' + folder};
        QCOMPARE(dialogs.openFile(request), std::nullopt);
        QCOMPARE(openedIn, shownFolder.isEmpty() ? base : base + '/' + shownFolder);
        QCOMPARE(nameBox, shownName);
    }
};

QTEST_MAIN(PlatformTest)
#include "test_platform.moc"

// What the eye checks, measured: texts that show whole, controls where the
// design places them, and nothing peeking out from under a panel.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "generator/GeneratorWindow.h"
#include "platform/Geometry.h"
#include "sections/PersonalPanel.h"
#include "utility/UtilityWindow.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace {

QLabel* labelWithText(QWidget* parent, const QString& text) {
    for (QLabel* label : parent->findChildren<QLabel*>()) {
        if (label->text() == text)
            return label;
    }
    return nullptr;
}

// True when the label shows its whole text: wide enough, and not cut by its parent.
bool showsWhole(QLabel* label) {
    const QRect inParent = label->geometry();
    return label->width() >= label->sizeHint().width() &&
           label->parentWidget()->contentsRect().contains(inParent.adjusted(0, 0, 0, -inParent.height() + 1));
}

} // namespace

class LookTest : public QObject {
    Q_OBJECT
private slots:
    void signInHelpShowsAllFourLines() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        auto* login = fake.windows.show<LoginWindow>(fake.context);
        QVERIFY(QTest::qWaitForWindowExposed(login));
        click(login, "cmdHelp");
        QPlainTextEdit* help = login->Text3;
        QVERIFY(help->isVisible());
        QCOMPARE(help->document()->blockCount(), 5); // four lines, each ended by a line break
        for (QTextBlock block = help->document()->begin(); block.isValid(); block = block.next()) {
            if (block.text().isEmpty())
                continue;
            QTextCursor end(block);
            end.movePosition(QTextCursor::EndOfBlock);
            const QRect place = help->cursorRect(end);
            QVERIFY2(
                place.top() >= 0 && place.bottom() < help->viewport()->height(),
                qPrintable(block.text() +
                           QStringLiteral(" ends at %1 of %2").arg(place.bottom()).arg(help->viewport()->height())));
        }
        // Whatever the font, it stays readable.
        QVERIFY(help->font().pointSizeF() >= 6.5);
    }

    void bankDetailsCoverTheCardFieldsWholly() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        QVERIFY(QTest::qWaitForWindowExposed(main));
        click(main, "cmdPersonal");
        click(main, "cmdBank");
        QWidget* bank = main->PicPersonal->PicBank;
        QVERIFY(bank->isVisible());
        QGroupBox* frame = main->PicPersonal->jcFrames9;
        // Across the bank panel's rows nothing else of the frame shows, not even a sliver beside it.
        const QRect rows(0, bank->y(), frame->width(), bank->height());
        for (QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child == bank || !child->isVisible())
                continue;
            QVERIFY2(!rows.intersects(child->geometry()),
                     qPrintable(child->objectName() + ' ' +
                                (qobject_cast<QLabel*>(child) ? qobject_cast<QLabel*>(child)->text() : QString())));
        }
        click(main, "cmdBank");
        QVERIFY(!bank->isVisible());
        QVERIFY(labelWithText(frame, QStringLiteral("Card Type:"))->isVisible());
        QVERIFY(labelWithText(frame, QStringLiteral("Account #"))->isVisible());
        QVERIFY(main->findChild<QWidget*>("Text17")->isVisible());
    }

    void generatorStepsShowWhole_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("top");
        QTest::newRow("1") << "1. Select Letter Case and characters to include." << 120;
        QTest::newRow("2") << "2. Set the size of the Password and then click the Generate Button." << 360;
        QTest::newRow("3") << "3. Click the Use Password Button - form will close." << 600;
    }
    void generatorStepsShowWhole() {
        QFETCH(QString, text);
        QFETCH(int, top);
        FakeContext fake(QDir::tempPath());
        auto* generator = fake.windows.show<GeneratorWindow>(fake.context, nullptr);
        QLabel* step = labelWithText(generator, text);
        QVERIFY(step);
        QVERIFY2(showsWhole(step), qPrintable(QStringLiteral("%1 wide, needs %2, frame %3")
                                                  .arg(step->width())
                                                  .arg(step->sizeHint().width())
                                                  .arg(step->parentWidget()->width())));
        QCOMPARE(step->x(), twips(600));
        QVERIFY(qAbs(step->y() + step->height() / 2 - (twips(top) + twips(225) / 2)) <= 1);
    }

    void labelsThatBelongTogetherShareAFont_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("generator steps") << GeneratorWindow::Name
                                         << QStringList{"1. Select Letter Case and characters to include.",
                                                        "2. Set the size of the Password and then click the Generate "
                                                        "Button.",
                                                        "3. Click the Use Password Button - form will close."};
        QTest::newRow("utility sizes") << UtilityWindow::Name
                                       << QStringList{"Database Current Size:", "Database After Repair:"};
    }
    void labelsThatBelongTogetherShareAFont() {
        QFETCH(QString, window);
        QFETCH(QStringList, texts);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        QWidget* shown = window == GeneratorWindow::Name
                             ? static_cast<QWidget*>(fake.windows.show<GeneratorWindow>(fake.context, nullptr))
                             : static_cast<QWidget*>(fake.windows.show<UtilityWindow>(fake.context));
        QSet<qreal> sizes;
        for (const QString& text : texts) {
            QLabel* label = labelWithText(shown, text);
            QVERIFY2(label, qPrintable(text));
            sizes << label->font().pointSizeF();
        }
        QCOMPARE(sizes.size(), 1);
    }

    void utilitySidePanelFollowsTheDesign_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("left");
        QTest::addColumn<QString>("size");
        QTest::addColumn<int>("top");
        QTest::newRow("current size") << "Database Current Size:" << 180 << "Label8" << 2160;
        QTest::newRow("after repair") << "Database After Repair:" << 195 << "Label9" << 2460;
    }
    void utilitySidePanelFollowsTheDesign() {
        QFETCH(QString, caption);
        QFETCH(int, left);
        QFETCH(QString, size);
        QFETCH(int, top);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        auto* utility = fake.windows.show<UtilityWindow>(fake.context);
        QLabel* label = labelWithText(utility, caption);
        QVERIFY(label);
        auto* value = utility->findChild<QLabel*>(size);
        QVERIFY(value);
        QCOMPARE(label->x(), twips(left));
        QCOMPARE(value->x(), twips(1935));
        QVERIFY(qAbs(label->y() - twips(top)) <= 1);
        QVERIFY(qAbs(value->y() - twips(top)) <= 1);
        QVERIFY(showsWhole(label));
        QVERIFY(showsWhole(value));
        QVERIFY2(label->geometry().right() < value->x(), "the caption runs into its size");
    }
};

QTEST_MAIN(LookTest)
#include "test_look.moc"

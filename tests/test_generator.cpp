// The password generator: its rules, its uniformity and the hand-over to the editor.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "editors/RecordEditor.h"
#include "generator/GeneratorWindow.h"
#include "generator/PasswordGenerator.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>

namespace {

// Pearson's chi-square of observed counts against a uniform spread.
double chiSquare(const QList<int>& counts) {
    double total = 0;
    for (int c : counts)
        total += c;
    const double expected = total / counts.size();
    double sum = 0;
    for (int c : counts)
        sum += (c - expected) * (c - expected) / expected;
    return sum;
}

QList<int> histogram(const QString& text, QChar first, int size) {
    QList<int> counts(size, 0);
    for (QChar c : text) {
        const int index = c.unicode() - first.unicode();
        if (index >= 0 && index < size)
            ++counts[index];
    }
    return counts;
}

} // namespace

class GeneratorTest : public QObject {
    Q_OBJECT
private slots:
    void lengthParsing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length"); // -1: not a number
        QTest::newRow("six") << "6" << 6;
        QTest::newRow("half down to even") << "2.5" << 2;
        QTest::newRow("half up to even") << "3.5" << 4;
        QTest::newRow("fraction") << "7.4" << 7;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("negative") << "-3" << -3;
        QTest::newRow("blanks around") << " 8 " << 8;
        QTest::newRow("huge is cut") << "100000" << PasswordGenerator::MaxLength;
        QTest::newRow("beyond 32 bits") << "99999999999" << -1;
        QTest::newRow("letters") << "ten" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void lengthParsing() {
        QFETCH(QString, text);
        QFETCH(int, length);
        const std::optional<int> parsed = PasswordGenerator::parseLength(text, QLocale::c());
        if (length == -1)
            QVERIFY(!parsed);
        else
            QCOMPARE(parsed.value_or(-999), length);
    }

    void localeDecimalSeparator() {
        QCOMPARE(PasswordGenerator::parseLength("3,5", QLocale(QLocale::German)).value_or(-1), 4);
    }

    void charactersFollowTheCodes() {
        PasswordGenerator generator;
        const QString lower = generator.make(PasswordGenerator::Lowercase, 200, PasswordGenerator::Letters);
        QCOMPARE(lower.size(), 200);
        for (QChar c : lower)
            QVERIFY(c >= 'a' && c <= 'z');
        const QString upper = generator.make(PasswordGenerator::Uppercase, 200, PasswordGenerator::Letters);
        for (QChar c : upper)
            QVERIFY(c >= 'A' && c <= 'Z');
        for (QChar c : generator.make(PasswordGenerator::BothCases, 200, PasswordGenerator::Digits))
            QVERIFY(c.isDigit());
        for (QChar c : generator.make(PasswordGenerator::BothCases, 500, PasswordGenerator::LettersAndDigits))
            QVERIFY(c.isDigit() || (c.toLower() >= 'a' && c.toLower() <= 'z'));
        for (QChar c : generator.make(PasswordGenerator::Lowercase, 2000, PasswordGenerator::AllCharacters))
            QVERIFY(c.unicode() >= 1 && c.unicode() <= 255);
        QCOMPARE(generator.make(PasswordGenerator::BothCases, 50, PasswordGenerator::Nothing), QString());
        QCOMPARE(generator.make(PasswordGenerator::BothCases, -3, PasswordGenerator::Letters), QString());
    }

    // Thresholds lie far beyond chance (p < 1e-6) yet far below what the skew
    // of folded draws gives ("U" to "Z" at 1/91, "5" to "9" at 1/58).
    void drawsAreUniform() {
        PasswordGenerator generator;
        const QString letters = generator.make(PasswordGenerator::Uppercase, 52000, PasswordGenerator::Letters);
        QVERIFY2(chiSquare(histogram(letters, 'A', 26)) < 80, "letters are skewed");
        const QString digits = generator.make(PasswordGenerator::BothCases, 20000, PasswordGenerator::Digits);
        QVERIFY2(chiSquare(histogram(digits, '0', 10)) < 50, "digits are skewed");
        const QString all = generator.make(PasswordGenerator::BothCases, 255 * 200, PasswordGenerator::AllCharacters);
        QList<int> codes = histogram(all, QChar(1), 255);
        QVERIFY2(chiSquare(codes) < 420, "character codes are skewed");
        const QString mixed = generator.make(PasswordGenerator::BothCases, 20000, PasswordGenerator::LettersAndDigits);
        int upper = 0, lower = 0, digit = 0;
        for (QChar c : mixed)
            c.isDigit() ? ++digit : c.isUpper() ? ++upper : ++lower;
        QVERIFY2(chiSquare({digit, upper + lower}) < 30, "letter or digit is not a fair coin");
        QVERIFY2(chiSquare({upper, lower}) < 30, "letter case is not a fair coin");
    }

    void windowStartsAfreshAndFollowsTheBoxes() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        QLineEdit target;
        auto* generator = fake.windows.show<GeneratorWindow>(fake.context, static_cast<QLineEdit*>(&target));
        QCOMPARE(generator->windowTitle(), QStringLiteral("Random Password Generator"));
        QCOMPARE(generator->setCode(), 11);
        QCOMPARE(generator->caseCode(), 3);
        click(generator, "Command1");
        QCOMPARE(generator->output->text().size(), 6);
        for (QChar c : generator->output->text())
            QVERIFY(c.isLetterOrNumber() && c.unicode() < 128);

        click(generator, "ic(3)");
        QCOMPARE(generator->setCode(), 3);
        click(generator, "ic(1)"); // no effect while all characters are on
        click(generator, "ic(2)");
        QCOMPARE(generator->setCode(), 3);
        click(generator, "ic(3)");
        QCOMPARE(generator->setCode(), 0);
        generator->Lenn->setText("12");
        click(generator, "Command1");
        QCOMPARE(generator->output->text(), QString());
        click(generator, "ic(1)");
        QCOMPARE(generator->setCode(), 10);
        click(generator, "lc");
        QCOMPARE(generator->caseCode(), 0);
        generator->Lenn->setText("10");
        click(generator, "Command1");
        QCOMPARE(generator->output->text().size(), 10);
        QCOMPARE(generator->output->text(), generator->output->text().toLower());
        click(generator, "uc");
        QCOMPARE(generator->caseCode(), 1);
        click(generator, "ic(2)");
        click(generator, "ic(1)");
        QCOMPARE(generator->setCode(), 1);

        // Not a number empties the output and leaves the editor alone.
        generator->Lenn->setText("lots");
        click(generator, "Command1");
        QCOMPARE(generator->output->text(), QString());

        generator->close();
        generator = fake.windows.show<GeneratorWindow>(fake.context, static_cast<QLineEdit*>(&target));
        QCOMPARE(generator->Lenn->text(), QStringLiteral("6"));
        QVERIFY(generator->ic[0]->isChecked() && generator->ic[1]->isChecked() && !generator->ic[2]->isChecked());
        QVERIFY(generator->bc->isChecked());
        QCOMPARE(generator->output->text(), QString());
        QCOMPARE(generator->setCode(), 11);
        QVERIFY(fake.prompter.calls.isEmpty());
    }

    void usePasswordFillsTheEditor() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        auto* editor = static_cast<RecordEditor*>(fake.windows.show("frmAddpassword", [&] {
            return new RecordEditor(fake.context, editorDescription(Section::Passwords), nullptr);
        }));
        editor->beginAdd();
        auto* password = editor->findChild<QLineEdit*>("Text4");
        password->setText("old value");
        click(editor, "cmdGenerate");
        auto* generator = fake.windows.find<GeneratorWindow>();
        QVERIFY(generator);
        generator->output->setText("typed by hand");
        click(generator, "cmdSave");
        QCOMPARE(password->text(), QStringLiteral("typed by hand"));
        QVERIFY(!fake.windows.find<GeneratorWindow>());

        click(editor, "cmdGenerate");
        generator = fake.windows.find<GeneratorWindow>();
        click(generator, "cmdSave"); // an empty output empties the box
        QCOMPARE(password->text(), QString());

        // With the editor gone the generator just closes.
        click(editor, "cmdGenerate");
        generator = fake.windows.find<GeneratorWindow>();
        generator->output->setText("nowhere to go");
        editor->close();
        QVERIFY(!fake.windows.find("frmAddpassword"));
        click(generator, "cmdSave");
        QVERIFY(!fake.windows.find<GeneratorWindow>());
        QCOMPARE(dir.count("account"), 4);
    }
};

QTEST_MAIN(GeneratorTest)
#include "test_generator.moc"

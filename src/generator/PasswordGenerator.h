#pragma once

#include <QString>
#include <optional>

class QLocale;
class QRandomGenerator;

// Makes random passwords from the operating system's cryptographic source,
// uniform over each character set.
class PasswordGenerator {
public:
    // How letters are cased.
    enum CaseCode { Lowercase = 0, Uppercase = 1, BothCases = 3 };
    // Which characters are drawn: every code 1 to 255, or the two-digit number
    // "letters, numbers" made of the two check marks (11, 10, 1, 0).
    enum SetCode { Nothing = 0, Digits = 1, Letters = 10, LettersAndDigits = 11, AllCharacters = 3 };
    // Longer lengths are cut to this, so a stray keystroke cannot freeze the window.
    static constexpr int MaxLength = 4096;

    PasswordGenerator();

    // The length typed, as a whole number: halves round to even, and the text is
    // read in the locale's form. Nothing for a text that is not a number or lies
    // beyond 32 bits; lengths above MaxLength are cut to it.
    static std::optional<int> parseLength(const QString& text, const QLocale& locale);
    static int setCodeFor(bool letters, bool numbers);

    QString make(int caseCode, int length, int setCode);

private:
    QChar randomLetter(int caseCode);
    QChar randomDigit();
    QChar randomCharacter();

    QRandomGenerator& m_source;
};

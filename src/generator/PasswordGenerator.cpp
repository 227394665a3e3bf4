#include "PasswordGenerator.h"

#include <QLocale>
#include <QRandomGenerator>
#include <cmath>
#include <limits>

PasswordGenerator::PasswordGenerator() : m_source(*QRandomGenerator::system()) {}

std::optional<int> PasswordGenerator::parseLength(const QString& text, const QLocale& locale) {
    bool ok = false;
    double value = locale.toDouble(text.trimmed(), &ok);
    if (!ok)
        value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // the default rounding mode sends halves to even
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max())
        return std::nullopt;
    return std::min(static_cast<int>(rounded), MaxLength);
}

int PasswordGenerator::setCodeFor(bool letters, bool numbers) {
    return (letters ? 10 : 0) + (numbers ? 1 : 0);
}

QString PasswordGenerator::make(int caseCode, int length, int setCode) {
    QString result;
    if (length > 0)
        result.reserve(length);
    for (int i = 0; i < length; ++i) {
        switch (setCode) {
        case Letters:
            result += randomLetter(caseCode);
            break;
        case Digits:
            result += randomDigit();
            break;
        case LettersAndDigits:
            result += m_source.bounded(2) ? randomLetter(caseCode) : randomDigit();
            break;
        case AllCharacters:
            result += randomCharacter();
            break;
        default:
            break;
        }
    }
    return result;
}

QChar PasswordGenerator::randomLetter(int caseCode) {
    const char letter = char('A' + m_source.bounded(26));
    const bool upper = caseCode == BothCases ? m_source.bounded(2) == 1 : caseCode == Uppercase;
    return upper ? QChar(letter) : QChar(letter).toLower();
}

QChar PasswordGenerator::randomDigit() {
    return QChar(char('0' + m_source.bounded(10)));
}

// Codes 1 to 255 of Latin-1, control characters included.
QChar PasswordGenerator::randomCharacter() {
    return QChar(char16_t(m_source.bounded(1, 256)));
}

#include "PasswordRecipe.h"

#include <QRandomGenerator>

namespace {

const QString Upper = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const QString Lower = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
const QString Digits = QStringLiteral("0123456789");
// Every printable ASCII character that is neither a letter, a digit nor a blank.
const QString Symbols = QStringLiteral("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");

} // namespace

std::optional<QString> PasswordRecipe::charactersOf(const QString& kind) {
    if (kind == QLatin1String("upper"))
        return Upper;
    if (kind == QLatin1String("lower"))
        return Lower;
    if (kind == QLatin1String("digits"))
        return Digits;
    if (kind == QLatin1String("symbols"))
        return Symbols;
    if (kind == QLatin1String("all"))
        return Upper + Lower + Digits + Symbols;
    return std::nullopt;
}

QStringList PasswordRecipe::kindNames() {
    return {QStringLiteral("upper"), QStringLiteral("lower"), QStringLiteral("digits"), QStringLiteral("symbols"),
            QStringLiteral("all")};
}

void PasswordRecipe::add(const QString& characters) {
    // "all" is the four kinds, each of which must appear.
    if (characters.size() > Symbols.size() && characters == Upper + Lower + Digits + Symbols) {
        for (const QString& kind : {Upper, Lower, Digits, Symbols})
            add(kind);
        return;
    }
    if (!m_kinds.contains(characters))
        m_kinds << characters;
}

QString PasswordRecipe::make(int length) const {
    const QString pool = m_kinds.join(QString());
    QRandomGenerator& source = *QRandomGenerator::system();
    const bool everyKind = length >= m_kinds.size();
    for (;;) {
        QString password(length, QChar());
        for (QChar& c : password)
            c = pool.at(qsizetype(source.bounded(quint32(pool.size()))));
        // Drawn again until each kind is in it: still uniform over the passwords that hold every kind.
        const bool complete = std::all_of(m_kinds.begin(), m_kinds.end(), [&](const QString& kind) {
            return std::any_of(password.begin(), password.end(), [&](QChar c) { return kind.contains(c); });
        });
        if (complete || !everyKind)
            return password;
    }
}

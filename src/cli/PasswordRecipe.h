#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What the command line's generate makes: a password of printable ASCII only,
// so that every web form takes it. Each character is drawn uniformly from the
// chosen kinds together (the operating system's random source), and every
// kind appears at least once when the length allows.
class PasswordRecipe {
public:
    static constexpr int DefaultLength = 20;

    // "upper", "lower", "digits", "symbols" (printable ASCII punctuation) or
    // "all" (every one of them); nothing for a name of no kind.
    static std::optional<QString> charactersOf(const QString& kind);
    static QStringList kindNames();

    // Adds a kind's characters; a kind added twice counts once.
    void add(const QString& characters);
    bool isEmpty() const { return m_kinds.isEmpty(); }
    QString make(int length) const;

private:
    QStringList m_kinds;
};

#pragma once

#include <QString>
#include <stdexcept>

// Why a file could not be imported or exported, written for the user. When the
// fault lies on a line of the file, the message names it.
class ExchangeError : public std::runtime_error {
public:
    explicit ExchangeError(const QString& message, qint64 line = 0)
        : std::runtime_error(message.toStdString()), m_message(line > 0 ? lineMessage(message, line) : message),
          m_line(line) {}
    const QString& message() const { return m_message; }
    qint64 line() const { return m_line; }

private:
    static QString lineMessage(const QString& message, qint64 line) {
        return QStringLiteral("Line %1: %2").arg(line).arg(message);
    }
    QString m_message;
    qint64 m_line;
};

// A text of the file as a message may quote it: a short start, on one line.
// Only texts that are never secrets are quoted at all.
inline QString shortQuote(const QString& text) {
    constexpr qsizetype Longest = 30;
    QString quoted = text.left(Longest).simplified();
    if (text.size() > Longest)
        quoted += QChar(0x2026);
    return quoted;
}

// A line of a CSV file with more or fewer values than its header: the user
// may import the other lines instead.
class BadLineError : public ExchangeError {
public:
    using ExchangeError::ExchangeError;
};

#pragma once

#include <QString>
#include <stdexcept>

// A failure of the record store. The message names the file and the reason and
// is written for the user: the window that called decides how to show it.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

#pragma once

#include <QString>
#include <stdexcept>

// A failure of the record store. The message names the file and the reason and
// is written for the user: the window that called decides how to show it.
class StoreError : public std::runtime_error {
public:
    // Why a write failed, where the store can tell.
    enum class Reason {
        Unknown,
        RefusedValue,     // the database would not take a value
        RecordGone,       // the record was deleted meanwhile
        ChangedElsewhere, // another program saved the record after it was opened for a change
        DiskFull,
        Locked,   // another program holds the file
        ReadOnly, // the file or its folder cannot be written
        DiskError,
    };

    explicit StoreError(const QString& message, Reason reason = Reason::Unknown)
        : std::runtime_error(message.toStdString()), m_message(message), m_reason(reason) {}
    const QString& message() const { return m_message; }
    Reason reason() const { return m_reason; }

private:
    QString m_message;
    Reason m_reason;
};

#include "SignIn.h"

#include "store/Schema.h"

#include <QFileInfo>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace SignIn {

bool matches(const QString& stored, const QString& typed) {
    return stored == typed;
}

std::optional<QString> storedPassword(const QString& passwordStorePath, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<QString> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (!QFileInfo(passwordStorePath).isFile())
        return fail(QStringLiteral("The password store %1 is missing.").arg(passwordStorePath));
    try {
        SQLite::Database db(passwordStorePath.toStdString(), SQLite::OPEN_READONLY);
        // The sign-in window shows the table's first record in its natural order.
        SQLite::Statement query(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY %3 LIMIT 1")
                                        .arg(Schema::quoted(Schema::pass().fields.first()),
                                             Schema::quoted(Schema::pass().name), Schema::quoted(Schema::KeyColumn))
                                        .toStdString());
        if (!query.executeStep())
            return fail(QStringLiteral("The password store %1 holds no password.").arg(passwordStorePath));
        const SQLite::Column column = query.getColumn(0);
        return QString::fromUtf8(column.getText(), column.getBytes());
    } catch (const std::exception& e) {
        return fail(QStringLiteral("The password store %1 cannot be read: %2.")
                        .arg(passwordStorePath, QString::fromUtf8(e.what())));
    }
}

} // namespace SignIn

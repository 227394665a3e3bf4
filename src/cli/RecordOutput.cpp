#include "RecordOutput.h"

#include "exchange/DuplicateIndex.h"
#include "exchange/ExchangeError.h"
#include "store/RegularFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

// Passwords: Account, Website, User, Password, Notes. Credit Card: Type Card, Card
// Number, Security Code, Month, Year, Bank Name, ... Personal: Full Name, ..., Email.
const SectionView Views[] = {
    {Section::Passwords, {0, 1, 2}, {3}}, {Section::CreditCards, {0, 5, 3, 4}, {1, 2}},
    {Section::Personal, {0, 6}, {}},      {Section::Notes, {0}, {}},
    {Section::Reminders, {0, 1}, {}},
};

const QString Hidden = QStringLiteral("(hidden: show --secrets prints it)");

QString oneLine(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

} // namespace

const SectionView& viewOf(Section section) {
    return Views[static_cast<int>(section)];
}

QList<QStringList> readRecords(const QString& databasePath, Section section) {
    QList<QStringList> records;
    if (const QString notFile = notRegularFile(databasePath); !notFile.isEmpty())
        throw ExchangeError(notFile);
    try {
        SQLite::Database db(databasePath.toStdString(), SQLite::OPEN_READONLY);
        const int fields = int(tableOf(section).fields.size());
        SQLite::Statement query(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                        .arg(quotedFields(section), Schema::quoted(tableOf(section).name),
                                             Schema::quoted(Schema::KeyColumn))
                                        .toStdString());
        while (query.executeStep()) {
            QStringList record;
            for (int i = 0; i < fields; ++i)
                record << textOf(query.getColumn(i));
            records << record;
        }
    } catch (const std::exception& e) {
        throw ExchangeError(
            QStringLiteral("The database file %1 cannot be read: %2.").arg(databasePath, QString::fromUtf8(e.what())));
    }
    return records;
}

QList<QStringList> recordsNamed(const QList<QStringList>& records, const SectionView& view, const QString& name) {
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        QList<QStringList> found;
        for (const QStringList& record : records) {
            for (const int field : view.listed) {
                if (record.at(field).compare(name, cs) == 0) {
                    found << record;
                    break;
                }
            }
        }
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString listingText(const QList<QStringList>& records, const SectionView& view) {
    QString text;
    for (const QStringList& record : records) {
        QStringList cells;
        for (const int field : view.listed)
            cells << oneLine(record.at(field));
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QString listingJson(const QList<QStringList>& records, const SectionView& view) {
    const QStringList& names = tableOf(view.section).fields;
    QJsonArray array;
    for (const QStringList& record : records) {
        QJsonObject object;
        for (const int field : view.listed)
            object.insert(names.at(field), record.at(field));
        array << object;
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
}

QString detailText(const QList<QStringList>& records, const SectionView& view, bool secrets) {
    const QStringList& names = tableOf(view.section).fields;
    QStringList blocks;
    for (const QStringList& record : records) {
        QStringList lines;
        for (int field = 0; field < names.size(); ++field) {
            const bool hide = !secrets && view.secrets.contains(field) && !record.at(field).isEmpty();
            lines << names.at(field) + QStringLiteral(": ") + (hide ? Hidden : record.at(field));
        }
        blocks << lines.join(QLatin1Char('\n'));
    }
    return blocks.join(QStringLiteral("\n\n")) + QLatin1Char('\n');
}

QString detailJson(const QList<QStringList>& records, const SectionView& view, bool secrets) {
    const QStringList& names = tableOf(view.section).fields;
    QJsonArray array;
    for (const QStringList& record : records) {
        QJsonObject object;
        for (int field = 0; field < names.size(); ++field) {
            if (secrets || !view.secrets.contains(field))
                object.insert(names.at(field), record.at(field));
        }
        array << object;
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
}

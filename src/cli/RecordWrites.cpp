#include "RecordWrites.h"

#include "RecordOutput.h"
#include "store/ColumnText.h"
#include "store/Connection.h"
#include "store/StoreError.h"
#include "sync/Merge.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <SQLiteCpp/Statement.h>
#include <vector>

namespace RecordWrites {
namespace {

enum Status { Done = 0, Failed = 1, Usage = 2 };

struct Found {
    qint64 key = 0;
    QString identity;
};

QString json(const QJsonValue& value) {
    return QString::fromUtf8(value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented)
                                             : QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented));
}

Result failed(const QString& error, int status = Failed) {
    return {status, {}, error};
}

QString table(Section section) {
    return Schema::quoted(tableOf(section).name);
}

// "Field=value" pairs: the fields by their names in the table, in order.
std::optional<QList<std::pair<QString, QString>>> assignmentsOf(Section section, const QStringList& words,
                                                                QString& error) {
    QList<std::pair<QString, QString>> pairs;
    for (const QString& word : words) {
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        const QString field = word.left(equals);
        if (equals < 0 || !tableOf(section).fields.contains(field)) {
            error = QStringLiteral("%1 has no field \"%2\"; its fields are %3.")
                        .arg(sectionTitle(section), field, tableOf(section).fields.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        pairs.append({field, word.mid(equals + 1)});
    }
    return pairs;
}

// The records named: by identity, else by a listed field, exactly, else without regard to case.
std::vector<Found> find(Connection& connection, Section section, const QString& record) {
    SQLite::Statement byIdentity(
        connection.db(), QStringLiteral("SELECT _key, _id FROM %1 WHERE _id = ?").arg(table(section)).toStdString());
    byIdentity.bind(1, record.toStdString());
    if (byIdentity.executeStep())
        return {{byIdentity.getColumn(0).getInt64(), columnText(byIdentity.getColumn(1))}};
    const SectionView& view = viewOf(section);
    QStringList listed;
    for (int field : view.listed)
        listed << Schema::quoted(tableOf(section).fields.at(field));
    SQLite::Statement all(connection.db(), QStringLiteral("SELECT _key, _id, %1 FROM %2 ORDER BY _key")
                                               .arg(listed.join(QStringLiteral(", ")), table(section))
                                               .toStdString());
    std::vector<Found> exact, anyCase;
    while (all.executeStep()) {
        bool same = false, sameLetters = false;
        for (int i = 0; i < listed.size(); ++i) {
            const QString text = columnText(all.getColumn(2 + i));
            same = same || text == record;
            sameLetters = sameLetters || text.compare(record, Qt::CaseInsensitive) == 0;
        }
        const Found found{all.getColumn(0).getInt64(), columnText(all.getColumn(1))};
        if (same)
            exact.push_back(found);
        if (sameLetters)
            anyCase.push_back(found);
    }
    return exact.empty() ? anyCase : exact;
}

// Exactly one record named, or why not (exit status 2 with the identities of several).
std::optional<Found> findOne(Connection& connection, Section section, const QString& record, Result& refusal) {
    const std::vector<Found> found = find(connection, section, record);
    if (found.size() == 1)
        return found.front();
    if (found.empty()) {
        refusal = failed(QStringLiteral("%1 holds no record \"%2\".").arg(sectionTitle(section), record));
        return std::nullopt;
    }
    QStringList identities;
    for (const Found& f : found)
        identities << f.identity;
    refusal = failed(QStringLiteral("%1 records of %2 are named \"%3\"; name one by its id: %4.")
                         .arg(found.size())
                         .arg(sectionTitle(section), record, identities.join(QStringLiteral(", "))),
                     Usage);
    refusal.output = identities.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return std::nullopt;
}

Result identityResult(const QString& identity, bool asJson) {
    return {Done, asJson ? json(QJsonObject{{QStringLiteral("id"), identity}}) : identity + QLatin1Char('\n'), {}};
}

} // namespace

Result add(const QString& database, Section section, const QStringList& assignments, bool asJson) {
    QString error;
    const auto pairs = assignmentsOf(section, assignments, error);
    if (!pairs || pairs->isEmpty())
        return failed(pairs ? QStringLiteral("add needs at least one Field=value.") : error, Usage);
    Connection connection(database, tableOf(section).name);
    QStringList fields, marks;
    for (const auto& [field, value] : *pairs) {
        fields << Schema::quoted(field);
        marks << QStringLiteral("?");
    }
    SQLite::Statement insert(
        connection.db(), QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                             .arg(table(section), fields.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))
                             .toStdString());
    for (int i = 0; i < pairs->size(); ++i)
        insert.bind(i + 1, pairs->at(i).second.toStdString());
    insert.exec();
    SQLite::Statement given(connection.db(),
                            QStringLiteral("SELECT _id FROM %1 WHERE _key = ?").arg(table(section)).toStdString());
    given.bind(1, static_cast<int64_t>(connection.db().getLastInsertRowid()));
    given.executeStep();
    return identityResult(columnText(given.getColumn(0)), asJson);
}

Result edit(const QString& database, Section section, const QString& record, const QStringList& assignments,
            bool asJson) {
    QString error;
    const auto pairs = assignmentsOf(section, assignments, error);
    if (!pairs || pairs->isEmpty())
        return failed(pairs ? QStringLiteral("edit needs at least one Field=value.") : error, Usage);
    Connection connection(database, tableOf(section).name);
    Result refusal;
    const std::optional<Found> found = findOne(connection, section, record, refusal);
    if (!found)
        return refusal;
    QStringList assigned;
    for (const auto& [field, value] : *pairs)
        assigned << Schema::quoted(field) + QStringLiteral(" = ?");
    SQLite::Statement update(connection.db(), QStringLiteral("UPDATE %1 SET %2 WHERE _key = ?")
                                                  .arg(table(section), assigned.join(QStringLiteral(", ")))
                                                  .toStdString());
    int index = 1;
    for (const auto& [field, value] : *pairs)
        update.bind(index++, value.toStdString());
    update.bind(index, static_cast<int64_t>(found->key));
    update.exec();
    return identityResult(found->identity, asJson);
}

Result remove(const QString& database, Section section, const QString& record, bool asJson) {
    Connection connection(database, tableOf(section).name);
    Result refusal;
    const std::optional<Found> found = findOne(connection, section, record, refusal);
    if (!found)
        return refusal;
    SQLite::Statement drop(connection.db(),
                           QStringLiteral("DELETE FROM %1 WHERE _key = ?").arg(table(section)).toStdString());
    drop.bind(1, static_cast<int64_t>(found->key));
    drop.exec();
    return identityResult(found->identity, asJson);
}

Result merge(const QString& database, const QString& copy, bool asJson) {
    const Merge::Outcome outcome = Merge::mergeCopy(database, copy);
    if (!outcome.merged)
        return failed(outcome.error);
    if (!asJson)
        return {Done, outcome.summary() + QLatin1Char('\n'), {}};
    QJsonObject sections;
    for (Section section : AllSections)
        for (const Merge::SectionCounts& counts : outcome.sections)
            if (counts.table == tableOf(section).name)
                sections.insert(sectionWord(section), QJsonObject{{QStringLiteral("added"), counts.added},
                                                                  {QStringLiteral("updated"), counts.updated},
                                                                  {QStringLiteral("deleted"), counts.deleted}});
    return {Done, json(QJsonObject{{QStringLiteral("merged"), sections}}), {}};
}

Result history(const QString& database, Section section, const QString& record, bool asJson, bool secrets) {
    Connection connection(database, tableOf(section).name);
    const std::vector<Found> found = find(connection, section, record);
    if (found.empty())
        return failed(QStringLiteral("%1 holds no record \"%2\".").arg(sectionTitle(section), record));
    const SectionView& view = viewOf(section);
    const QStringList& names = tableOf(section).fields;
    SQLite::Statement versions(connection.db(), "SELECT modified, machine, fields FROM _history WHERE identity = ? "
                                                "ORDER BY modified DESC, machine");
    QJsonArray records;
    QString text;
    for (const Found& f : found) {
        versions.reset();
        versions.bind(1, f.identity.toStdString());
        QJsonArray kept;
        text += QStringLiteral("Versions of %1 that lost a merge:\n").arg(f.identity);
        while (versions.executeStep()) {
            const qint64 modified = versions.getColumn(0).getInt64();
            const QString machine = columnText(versions.getColumn(1));
            QJsonObject fields = QJsonDocument::fromJson(columnText(versions.getColumn(2)).toUtf8()).object();
            for (int secret : view.secrets)
                if (!secrets && !fields.value(names.at(secret)).toString().isEmpty())
                    fields.insert(names.at(secret), QStringLiteral("(hidden: --secrets prints it)"));
            kept.append(QJsonObject{{QStringLiteral("modified"), modified},
                                    {QStringLiteral("machine"), machine},
                                    {QStringLiteral("fields"), fields}});
            text += QStringLiteral("  changed %1 on %2\n")
                        .arg(QDateTime::fromMSecsSinceEpoch(modified, Qt::UTC).toString(Qt::ISODateWithMs),
                             machine.isEmpty() ? QStringLiteral("a computer not known") : machine);
            for (const QString& name : names)
                if (fields.contains(name))
                    text += QStringLiteral("    %1: %2\n").arg(name, fields.value(name).toString());
        }
        if (kept.isEmpty())
            text += QStringLiteral("  none\n");
        records.append(QJsonObject{{QStringLiteral("id"), f.identity}, {QStringLiteral("history"), kept}});
    }
    return {Done, asJson ? json(records) : text, {}};
}

} // namespace RecordWrites

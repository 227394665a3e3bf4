// The commands that change one record, merge a copy of the database changed on
// another computer, and show what merges kept.
#include "CommandRuns.h"
#include "Output.h"
#include "RecordOutput.h"
#include "SectionRecords.h"
#include "store/ColumnText.h"
#include "store/Connection.h"
#include "store/MachineStamp.h"
#include "store/StoredIdentity.h"
#include "sync/Merge.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

constexpr int BusyTimeoutMs = 5000;

Section sectionOf(const Context& context) {
    const QString word = context.arguments.positional.value(0);
    const std::optional<Section> section = sectionFromWord(word);
    if (!section)
        fail(QStringLiteral("\"%1\" is no section: passwords, cards, personal, notes or reminders.").arg(word), Usage);
    return *section;
}

QString table(Section section) {
    return Schema::quoted(tableOf(section).name);
}

// "Field=value" words: the fields by the names their table gives them.
QList<std::pair<QString, QString>> assignmentsOf(Section section, const QStringList& words, const QString& command) {
    if (words.isEmpty())
        fail(QStringLiteral("%1 needs at least one FIELD=VALUE.").arg(command), Usage);
    QList<std::pair<QString, QString>> pairs;
    for (const QString& word : words) {
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        const QString field = word.left(equals);
        if (equals < 0 || !tableOf(section).fields.contains(field))
            fail(QStringLiteral("%1 has no field \"%2\"; its fields are %3.")
                     .arg(sectionTitle(section), field, tableOf(section).fields.join(QStringLiteral(", "))),
                 Usage);
        pairs.append({field, word.mid(equals + 1)});
    }
    return pairs;
}

// The identity every copy of the file gives a record, for its id.
QString identityOf(const QString& database, Section section, qint64 id) {
    SQLite::Database db(database.toStdString(), SQLite::OPEN_READONLY, BusyTimeoutMs);
    SQLite::Statement query(db, QStringLiteral("SELECT _id FROM %1 WHERE _key = ?").arg(table(section)).toStdString());
    query.bind(1, static_cast<int64_t>(id));
    return query.executeStep() ? StoredIdentity::textOf(query.getColumn(0)) : QString();
}

// An identity in the form the file keeps it.
std::string storedIdentity(SQLite::Database& db, const QString& identity) {
    return StoredIdentity::forFile(identity, db.execAndGet("PRAGMA user_version").getInt());
}

// The one record a command changes: by its id, by its identity (the same on
// every computer), or by its name. A name several records bear is refused with
// exit status 2 and their ids: a change must never land on the wrong record.
qint64 recordToChange(const Context& context, Section section, const QString& word) {
    SectionRecords records(context.database(), section);
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (digits.match(word).hasMatch() && records.byId(word.toLongLong()))
        return word.toLongLong();
    static const QRegularExpression identity(QStringLiteral("^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$"));
    if (identity.match(word).hasMatch()) {
        SQLite::Database db(context.database().toStdString(), SQLite::OPEN_READONLY, BusyTimeoutMs);
        SQLite::Statement query(db,
                                QStringLiteral("SELECT _key FROM %1 WHERE _id = ?").arg(table(section)).toStdString());
        StoredIdentity::bind(query, 1, storedIdentity(db, word));
        if (query.executeStep())
            return query.getColumn(0).getInt64();
    }
    const QList<qint64> ids = records.idsNamed(word);
    if (ids.isEmpty())
        fail(QStringLiteral("%1 holds no record named \"%2\".").arg(sectionTitle(section), word));
    if (ids.size() > 1) {
        QStringList told;
        QJsonArray all;
        for (const qint64 id : ids) {
            told << QString::number(id);
            all << id;
        }
        fail(QStringLiteral("%1 records of %2 are named \"%3\", with the ids %4; name one by its id.")
                 .arg(ids.size())
                 .arg(sectionTitle(section), word, told.join(QStringLiteral(", "))),
             Usage, {{QStringLiteral("ids"), all}});
    }
    return ids.first();
}

int printId(const Context& context, Section section, qint64 id) {
    if (context.arguments.has(QStringLiteral("json")))
        print(jsonOf(
            {{QStringLiteral("id"), id}, {QStringLiteral("identity"), identityOf(context.database(), section, id)}}));
    else
        print(QString::number(id) + QLatin1Char('\n'));
    return Done;
}

} // namespace

int addRecord(Context& context) {
    const Section section = sectionOf(context);
    const auto pairs = assignmentsOf(section, context.arguments.positional.mid(1), QStringLiteral("add"));
    // Through the program's own connection: the record gets its identity and this computer.
    Connection connection(context.database(), tableOf(section).name);
    QStringList fields, marks;
    for (const auto& [field, value] : pairs) {
        fields << Schema::quoted(field);
        marks << QStringLiteral("?");
    }
    const NewRecordStamp stamp = newRecordStamp(connection.db(), connection.version(), connection.machine());
    SQLite::Statement insert(connection.db(), QStringLiteral("INSERT INTO %1 (%2%3) VALUES (%4%5)")
                                                  .arg(table(section), fields.join(QStringLiteral(", ")), stamp.columns,
                                                       marks.join(QStringLiteral(", ")), stamp.values)
                                                  .toStdString());
    for (int i = 0; i < pairs.size(); ++i)
        insert.bind(i + 1, pairs.at(i).second.toStdString());
    insert.exec();
    return printId(context, section, connection.db().getLastInsertRowid());
}

int editRecord(Context& context) {
    const Section section = sectionOf(context);
    if (context.arguments.positional.size() < 3)
        return fail(QStringLiteral("edit takes a section, a record and FIELD=VALUE."), Usage);
    const auto pairs = assignmentsOf(section, context.arguments.positional.mid(2), QStringLiteral("edit"));
    const qint64 id = recordToChange(context, section, context.arguments.positional.at(1));
    Connection connection(context.database(), tableOf(section).name);
    QStringList assigned;
    for (const auto& [field, value] : pairs)
        assigned << Schema::quoted(field) + QStringLiteral(" = ?");
    SQLite::Statement update(connection.db(), QStringLiteral("UPDATE %1 SET %2 WHERE _key = ?")
                                                  .arg(table(section), assigned.join(QStringLiteral(", ")))
                                                  .toStdString());
    int index = 1;
    for (const auto& [field, value] : pairs)
        update.bind(index++, value.toStdString());
    update.bind(index, static_cast<int64_t>(id));
    if (update.exec() == 0)
        return fail(QStringLiteral("%1 no longer holds the record %2.").arg(sectionTitle(section)).arg(id));
    return printId(context, section, id);
}

int removeRecord(Context& context) {
    const Section section = sectionOf(context);
    if (context.arguments.positional.size() != 2)
        return fail(QStringLiteral("rm takes a section and a record."), Usage);
    const qint64 id = recordToChange(context, section, context.arguments.positional.at(1));
    const QString identity = identityOf(context.database(), section, id);
    Connection connection(context.database(), tableOf(section).name);
    SQLite::Statement drop(connection.db(),
                           QStringLiteral("DELETE FROM %1 WHERE _key = ?").arg(table(section)).toStdString());
    drop.bind(1, static_cast<int64_t>(id));
    if (drop.exec() == 0)
        return fail(QStringLiteral("%1 no longer holds the record %2.").arg(sectionTitle(section)).arg(id));
    if (context.arguments.has(QStringLiteral("json")))
        print(jsonOf({{QStringLiteral("id"), id}, {QStringLiteral("identity"), identity}}));
    else
        print(QString::number(id) + QLatin1Char('\n'));
    return Done;
}

int mergeCopy(Context& context) {
    if (context.arguments.positional.size() != 1)
        return fail(QStringLiteral("merge takes the file to merge."), Usage);
    const Merge::Outcome outcome = Merge::mergeCopy(context.database(), context.arguments.positional.first());
    if (!outcome.merged)
        return fail(outcome.error);
    if (!context.arguments.has(QStringLiteral("json"))) {
        print(outcome.summary() + QLatin1Char('\n'));
        return Done;
    }
    QJsonObject sections;
    for (const Section section : AllSections)
        for (const Merge::SectionCounts& counts : outcome.sections)
            if (counts.table == tableOf(section).name)
                sections.insert(sectionWord(section), QJsonObject{{QStringLiteral("added"), counts.added},
                                                                  {QStringLiteral("updated"), counts.updated},
                                                                  {QStringLiteral("deleted"), counts.deleted}});
    print(jsonOf({{QStringLiteral("merged"), sections}}));
    return Done;
}

int showHistory(Context& context, const ShownRecord& record, bool secrets) {
    const Section section = sectionOf(context);
    const SectionView& view = viewOf(section);
    const QStringList& names = tableOf(section).fields;
    const QString identity = identityOf(context.database(), section, record.id);
    SQLite::Database db(context.database().toStdString(), SQLite::OPEN_READONLY, BusyTimeoutMs);
    SQLite::Statement versions(db, "SELECT modified, machine, fields FROM _history WHERE identity = ? "
                                   "ORDER BY modified DESC, machine");
    StoredIdentity::bind(versions, 1, storedIdentity(db, identity));
    QJsonArray kept;
    QString text = QStringLiteral("Versions that lost a merge with a copy from another computer:\n");
    while (versions.executeStep()) {
        const qint64 modified = versions.getColumn(0).getInt64();
        const QString machine = columnText(versions.getColumn(1));
        QJsonObject fields = QJsonDocument::fromJson(columnText(versions.getColumn(2)).toUtf8()).object();
        for (const int secret : view.secrets)
            if (!secrets && !fields.value(names.at(secret)).toString().isEmpty())
                fields.insert(names.at(secret), QStringLiteral("(hidden: --secrets prints it)"));
        kept.append(QJsonObject{{QStringLiteral("modified"), modified},
                                {QStringLiteral("machine"), machine},
                                {QStringLiteral("fields"), fields}});
        text += QStringLiteral("changed %1 on %2\n")
                    .arg(QDateTime::fromMSecsSinceEpoch(modified, Qt::UTC).toString(Qt::ISODateWithMs),
                         machine.isEmpty() ? QStringLiteral("a computer not known") : machine);
        for (const QString& name : names)
            if (fields.contains(name))
                text += QStringLiteral("  %1: %2\n").arg(name, fields.value(name).toString());
    }
    if (kept.isEmpty())
        text += QStringLiteral("none\n");
    if (context.arguments.has(QStringLiteral("json"))) {
        QJsonArray shown = QJsonDocument::fromJson(detailJson(record, view, secrets).toUtf8()).array();
        QJsonObject object = shown.first().toObject();
        object.insert(QStringLiteral("identity"), identity);
        object.insert(QStringLiteral("history"), kept);
        print(QString::fromUtf8(QJsonDocument(QJsonArray{object}).toJson(QJsonDocument::Indented)));
    } else {
        print(detailText(record, view, secrets) + QLatin1Char('\n') + text);
    }
    return Done;
}

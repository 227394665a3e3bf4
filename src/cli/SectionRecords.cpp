#include "SectionRecords.h"

#include "RecordOutput.h"
#include "exchange/ExchangeError.h"
#include "search/SearchQuery.h"
#include "search/SearchedTables.h"
#include "store/RegularFile.h"

#include <QSet>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

namespace {

constexpr int BusyTimeoutMs = 5000;
// The trigram index holds pieces of three characters: shorter names are found
// through the indexes on the first two letters of a record's name.
constexpr qsizetype TrigramLength = 3;
constexpr int ShortNameLetters = 2;

QString fieldList(const QStringList& fields) {
    QStringList quoted;
    for (const QString& field : fields)
        quoted << Schema::quoted(field);
    return quoted.join(QStringLiteral(", "));
}

QStringList listedFields(Section section) {
    QStringList fields;
    for (const int field : viewOf(section).listed)
        fields << tableOf(section).fields.at(field);
    return fields;
}

const SearchedTable* searchedTableOf(Section section) {
    for (const SearchedTable& table : searchedTables()) {
        if (table.table == tableOf(section).name)
            return &table;
    }
    return nullptr;
}

// quillmere_same_caseless(name, value, ...): 1 when a value is the name in
// some letter case. Registered on this program's read-only connection only.
void sameCaseless(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const auto text = [&](int i) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[i])),
                                 sqlite3_value_bytes(argv[i]));
    };
    const QString name = text(0);
    for (int i = 1; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) != SQLITE_NULL && text(i).compare(name, Qt::CaseInsensitive) == 0) {
            sqlite3_result_int(context, 1);
            return;
        }
    }
    sqlite3_result_int(context, 0);
}

// The spellings of a one- or two-letter name in every letter case (at most four):
// the short-name indexes hold the names as typed.
QStringList caseSpellings(const QString& name) {
    QStringList spellings{QString()};
    for (const char32_t c : name.toUcs4()) {
        const QSet<char32_t> forms{c, char32_t(QChar::toLower(c)), char32_t(QChar::toUpper(c)),
                                   char32_t(QChar::toTitleCase(c))};
        QStringList grown;
        for (const QString& start : spellings) {
            for (const char32_t form : forms)
                grown << start + QString::fromUcs4(&form, 1);
        }
        spellings = grown;
    }
    return spellings;
}

ShownRecord recordOf(SQLite::Statement& row, qsizetype fields) {
    ShownRecord record{row.getColumn(0).getInt64(), {}};
    for (int i = 1; i <= fields; ++i) {
        const SQLite::Column column = row.getColumn(i);
        record.fields << QString::fromUtf8(static_cast<const char*>(column.getBlob()), column.getBytes());
    }
    return record;
}

} // namespace

SectionRecords::SectionRecords(const QString& databasePath, Section section)
    : m_path(databasePath), m_section(section) {
    // A pipe or a device in the database's place would block the listing or never end it.
    if (const QString notFile = notRegularFile(databasePath); !notFile.isEmpty())
        throw ExchangeError(notFile);
    try {
        // One thread only: no mutex around each of SQLite's calls, a listing makes millions of them.
        m_db = std::make_unique<SQLite::Database>(databasePath.toStdString(),
                                                  SQLite::OPEN_READONLY | SQLite::OPEN_NOMUTEX, BusyTimeoutMs);
        sqlite3_create_function_v2(m_db->getHandle(), "quillmere_same_caseless", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   nullptr, &sameCaseless, nullptr, nullptr, nullptr);
    } catch (const std::exception& e) {
        unreadable(e);
    }
}

SectionRecords::~SectionRecords() = default;

void SectionRecords::unreadable(const std::exception& e) const {
    throw ExchangeError(
        QStringLiteral("The database file %1 cannot be read: %2.").arg(m_path, QString::fromUtf8(e.what())));
}

void SectionRecords::forEachListed(const std::function<void(qint64, const QList<QByteArrayView>&)>& take) {
    try {
        const QStringList fields = listedFields(m_section);
        SQLite::Statement rows(*m_db, QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1")
                                          .arg(Schema::quoted(Schema::KeyColumn), fieldList(fields),
                                               Schema::quoted(tableOf(m_section).name))
                                          .toStdString());
        QList<QByteArrayView> texts(fields.size());
        while (rows.executeStep()) {
            for (int i = 0; i < int(fields.size()); ++i) {
                const SQLite::Column column = rows.getColumn(i + 1);
                texts[i] = QByteArrayView(static_cast<const char*>(column.getBlob()), column.getBytes());
            }
            take(rows.getColumn(0).getInt64(), texts);
        }
    } catch (const SQLite::Exception& e) {
        unreadable(e);
    }
}

std::optional<ShownRecord> SectionRecords::byId(qint64 id) {
    std::optional<ShownRecord> found;
    try {
        const QStringList& fields = tableOf(m_section).fields;
        SQLite::Statement row(*m_db, QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 = ?")
                                         .arg(Schema::quoted(Schema::KeyColumn), fieldList(fields),
                                              Schema::quoted(tableOf(m_section).name))
                                         .toStdString());
        row.bind(1, static_cast<int64_t>(id));
        if (row.executeStep())
            found = recordOf(row, fields.size());
    } catch (const SQLite::Exception& e) {
        unreadable(e);
    }
    return found;
}

QList<qint64> SectionRecords::idsNamed(const QString& name) {
    const Filter candidates = candidatesFor(name);
    const QStringList fields = listedFields(m_section);
    QStringList equal;
    for (const QString& field : fields)
        equal << QStringLiteral("%1 = :name").arg(Schema::quoted(field));
    const Filter exactly{equal.join(QStringLiteral(" OR ")), {{":name", name}}};
    const Filter caseless{QStringLiteral("quillmere_same_caseless(:name, %1)").arg(fieldList(fields)),
                          {{":name", name}}};
    QList<qint64> found = idsWhere({candidates, exactly});
    if (found.isEmpty())
        found = idsWhere({candidates, caseless});
    return found;
}

bool SectionRecords::exists(const QString& tableOrIndex) {
    SQLite::Statement query(*m_db, "SELECT 1 FROM sqlite_master WHERE name = ?");
    query.bind(1, tableOrIndex.toStdString());
    return query.executeStep();
}

SectionRecords::Filter SectionRecords::candidatesFor(const QString& name) {
    const SearchedTable* searched = searchedTableOf(m_section);
    const QString key = Schema::quoted(Schema::KeyColumn);
    const QString table = Schema::quoted(tableOf(m_section).name);
    // Without the indexes (a file the desktop program has not migrated yet), every record is read.
    try {
        if (!searched) {
            return {};
        } else if (SearchQuery::length(name) >= TrigramLength) {
            // The trigram index gives every record whose listed fields hold the name.
            if (!exists(searched->index()))
                return {};
            QStringList columns;
            for (const QString& field : listedFields(m_section))
                columns << Schema::quoted(field);
            // One phrase of the whole name, its quotes doubled, in those columns only.
            const QString phrase =
                QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
            return {QStringLiteral("%1 IN (SELECT rowid FROM %2 WHERE %2 MATCH :match)")
                        .arg(key, Schema::quoted(searched->index())),
                    {{":match", QStringLiteral("{%1} : %2").arg(columns.join(QLatin1Char(' ')), phrase)}}};
        }
        // A name of one or two letters: the records whose name begins with it, in
        // any letter case, through the index on the first two letters.
        Filter filter;
        QStringList parameters;
        const QStringList spellings = caseSpellings(name);
        for (int i = 0; i < spellings.size(); ++i) {
            parameters << QStringLiteral(":spelling%1").arg(i);
            filter.values << std::pair(parameters.last(), spellings.at(i));
        }
        QStringList runs;
        for (const NameField& field : searched->nameFields) {
            const QString index = field.indexStem + QLatin1Char(' ') + QString::number(ShortNameLetters);
            if (!exists(index))
                return {};
            runs << QStringLiteral("SELECT %1 FROM %2 INDEXED BY %3 WHERE substr(%4, 1, %5) IN (%6)")
                        .arg(key, table, Schema::quoted(index), Schema::quoted(field.name))
                        .arg(ShortNameLetters)
                        .arg(parameters.join(QStringLiteral(", ")));
        }
        filter.condition = QStringLiteral("%1 IN (%2)").arg(key, runs.join(QStringLiteral(" UNION ")));
        return filter;
    } catch (const SQLite::Exception& e) {
        unreadable(e);
    }
}

QList<qint64> SectionRecords::idsWhere(const QList<Filter>& filters) {
    QList<qint64> found;
    try {
        QStringList conditions;
        for (const Filter& filter : filters) {
            if (!filter.condition.isEmpty())
                conditions << QLatin1Char('(') + filter.condition + QLatin1Char(')');
        }
        SQLite::Statement rows(
            *m_db, QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %1")
                       .arg(Schema::quoted(Schema::KeyColumn), Schema::quoted(tableOf(m_section).name),
                            conditions.isEmpty() ? QStringLiteral("1") : conditions.join(QStringLiteral(" AND ")))
                       .toStdString());
        for (const Filter& filter : filters) {
            for (const auto& [parameter, value] : filter.values)
                rows.bind(parameter.toStdString(), value.toStdString());
        }
        while (rows.executeStep())
            found << rows.getColumn(0).getInt64();
    } catch (const SQLite::Exception& e) {
        unreadable(e);
    }
    return found;
}

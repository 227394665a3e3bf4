#include "SectionRecords.h"

#include "RecordOutput.h"
#include "exchange/ExchangeError.h"
#include "search/SearchQuery.h"
#include "search/SearchedTables.h"
#include "store/RegularFile.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <set>
#include <sqlite3.h>

namespace {

constexpr int BusyTimeoutMs = 5000;
constexpr int CacheKiB = 512;
// The trigram index holds pieces of three characters: shorter names are
// looked for in every record.
constexpr qsizetype TrigramLength = 3;
// The letters of a name looked for in the trigram index: enough to pick out one
// record, while each one more is one more of the index's lists to step through
// (at a million records, 16 letters took 11 ms and 24 letters 28 ms).
constexpr qsizetype PhraseLetters = 16;

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
        // One record or one pass over a table reads each page once: a cache of
        // pages read before would only grow with the index pages a lookup passes.
        m_db->exec("PRAGMA cache_size = -" + std::to_string(CacheKiB));
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
    const QList<Lookup> lookups = lookupsFor(name);
    QStringList fields, equal;
    for (const QString& field : listedFields(m_section)) {
        fields << qualified(field);
        equal << QStringLiteral("%1 = :name").arg(fields.last());
    }
    const QString caseless = QStringLiteral("quillmere_same_caseless(:name, %1)").arg(fields.join(", "));
    for (const QString& test : {equal.join(QStringLiteral(" OR ")), caseless}) {
        std::set<qint64> ids;
        for (const Lookup& lookup : lookups)
            collectIds(lookup, test, name, ids);
        if (!ids.empty())
            return QList<qint64>(ids.begin(), ids.end());
    }
    return {};
}

QString SectionRecords::qualified(const QString& field) const {
    return Schema::quoted(tableOf(m_section).name) + QLatin1Char('.') + Schema::quoted(field);
}

bool SectionRecords::exists(const QString& tableOrIndex) {
    SQLite::Statement query(*m_db, "SELECT 1 FROM sqlite_master WHERE name = ?");
    query.bind(1, tableOrIndex.toStdString());
    return query.executeStep();
}

QList<SectionRecords::Lookup> SectionRecords::lookupsFor(const QString& name) {
    const SearchedTable* searched = searchedTableOf(m_section);
    const QString table = Schema::quoted(tableOf(m_section).name);
    // Without the indexes (a file the desktop program has not migrated yet), every record is read.
    const QList<Lookup> everyRecord{{table, QStringLiteral("1"), {}}};
    try {
        if (!searched)
            return everyRecord;
        // The trigram index gives every record holding each three-letter piece of
        // the name's start (its first letters, so a long name costs no more) in some
        // indexed field; the test then compares the whole name. A name too short
        // for a piece is looked for in every record.
        if (SearchQuery::length(name) < TrigramLength || !exists(searched->index()))
            return everyRecord;
        const QList<uint> letters = name.toUcs4();
        const QString start = QString::fromUcs4(reinterpret_cast<const char32_t*>(letters.constData()),
                                                std::min<qsizetype>(letters.size(), PhraseLetters));
        const QString index = Schema::quoted(searched->index());
        return {{QStringLiteral("%1 JOIN %2 ON %2.rowid = %3").arg(table, index, qualified(Schema::KeyColumn)),
                 QStringLiteral("%1 MATCH :match").arg(index),
                 {{":match", SearchQuery::piecesOf(start).join(QLatin1Char(' '))}}}};
    } catch (const SQLite::Exception& e) {
        unreadable(e);
    }
}

void SectionRecords::collectIds(const Lookup& lookup, const QString& test, const QString& name, std::set<qint64>& ids) {
    try {
        SQLite::Statement rows(*m_db, QStringLiteral("SELECT %1 FROM %2 WHERE (%3) AND (%4)")
                                          .arg(qualified(Schema::KeyColumn), lookup.from, lookup.where, test)
                                          .toStdString());
        for (const auto& [parameter, value] : lookup.values)
            rows.bind(parameter.toStdString(), value.toStdString());
        rows.bind(":name", name.toStdString());
        while (rows.executeStep())
            ids.insert(rows.getColumn(0).getInt64());
    } catch (const SQLite::Exception& e) {
        unreadable(e);
    }
}

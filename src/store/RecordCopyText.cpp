#include "RecordCopyText.h"

#include "RecordCopyUtf8.h"
#include "StoreError.h"

#include <QString>
#include <algorithm>
#include <limits>
#include <map>
#include <set>
#include <sqlite3.h>

namespace {

using Column = SalvageReader::Column;

// ---- Where a record's bytes lie (SQLite's file format, "B-tree pages" and "Record format").

int varintLength(quint64 value) {
    int length = 1;
    while (value > 0x7F && length < 9) {
        value >>= 7;
        ++length;
    }
    return length;
}

// One column of one record as read.
struct StoredValue {
    int type = SQLITE_NULL;
    quint64 serialType = 0;
    qint64 size = 0;      // its bytes in the record
    std::string bytes;    // text and blobs: what could be read; numbers: their digits
    bool readable = true; // false for a number that could not be read
};

void setInteger(StoredValue& value, qint64 number) {
    value.type = SQLITE_INTEGER;
    value.bytes = std::to_string(number);
    if (number == 0 || number == 1) {
        value.serialType = 8 + quint64(number);
        value.size = 0;
        return;
    }
    const quint64 magnitude = number < 0 ? ~quint64(number) : quint64(number);
    static const struct {
        quint64 limit;
        quint64 serialType;
        qint64 size;
    } widths[] = {{0x7F, 1, 1}, {0x7FFF, 2, 2}, {0x7FFFFF, 3, 3}, {0x7FFFFFFF, 4, 4}, {0x7FFFFFFFFFFF, 5, 6}};
    for (const auto& width : widths) {
        if (magnitude <= width.limit) {
            value.serialType = width.serialType;
            value.size = width.size;
            return;
        }
    }
    value.serialType = 6;
    value.size = 8;
}

void setSized(StoredValue& value, int type, qint64 size) {
    value.type = type;
    value.size = size;
    if (type == SQLITE_FLOAT)
        value.serialType = 7;
    else if (type == SQLITE_TEXT || type == SQLITE_BLOB)
        value.serialType = quint64(size) * 2 + (type == SQLITE_TEXT ? 13 : 12);
}

// The record's bytes as pieces: the part on its leaf page, then one per overflow page.
class PayloadLayout {
public:
    PayloadLayout(const std::vector<StoredValue>& values, qint64 usable) : m_usable(usable) {
        qint64 types = 0, content = 0;
        for (const StoredValue& value : values) {
            types += varintLength(value.serialType);
            content += value.size;
        }
        // The header's own length comes first and counts itself.
        m_header = types + 1;
        if (types > 126) {
            const int own = varintLength(quint64(types));
            m_header = types + own + (varintLength(quint64(types + own)) > own ? 1 : 0);
        }
        const qint64 payload = m_header + content;
        const qint64 maxLocal = usable - 35;
        const qint64 minLocal = (usable - 12) * 32 / 255 - 23;
        if (payload <= maxLocal) {
            m_local = payload;
        } else {
            const qint64 surplus = minLocal + (payload - minLocal) % (usable - 4);
            m_local = surplus <= maxLocal ? surplus : minLocal;
        }
        qint64 at = m_header;
        for (const StoredValue& value : values) {
            m_offsets.push_back(at);
            at += value.size;
        }
    }
    qint64 offset(std::size_t column) const { return m_offsets[column]; }
    qint64 pieceAt(qint64 at) const { return at < m_local ? 0 : 1 + (at - m_local) / (m_usable - 4); }
    qint64 pieceStart(qint64 piece) const { return piece == 0 ? 0 : m_local + (piece - 1) * (m_usable - 4); }
    qint64 pieceEnd(qint64 piece) const { return piece == 0 ? m_local : pieceStart(piece) + m_usable - 4; }

private:
    qint64 m_usable;
    qint64 m_header = 0;
    qint64 m_local = 0;
    std::vector<qint64> m_offsets;
};

// The pieces of a record found damaged.
class Damage {
public:
    void mark(qint64 piece) { m_pieces.insert(piece); }
    void markFrom(qint64 piece) { m_from = std::min(m_from, piece); }
    // The first damaged piece of those from first to last.
    std::optional<qint64> firstAmong(qint64 first, qint64 last) const {
        std::optional<qint64> found;
        const auto marked = m_pieces.lower_bound(first);
        if (marked != m_pieces.end() && *marked <= last)
            found = *marked;
        const qint64 from = std::max(m_from, first);
        if (from <= last && (!found || from < *found))
            found = from;
        return found;
    }

private:
    std::set<qint64> m_pieces;
    qint64 m_from = std::numeric_limits<qint64>::max();
};

// Smaller runs of zeros are taken for text: NUL characters are the user's to write.
constexpr qint64 ZeroPieceBytes = 16;

// How many bytes the pieces may be placed off by. A number on a damaged page
// reads as 0, which takes no bytes, or not at all, while the record holds it in
// up to 8: the record's size, and with it where each overflow page begins, is
// then known only that closely.
qint64 placementSlack(const std::vector<StoredValue>& values, const PayloadLayout& layout) {
    qint64 slack = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const bool zero = values[i].type == SQLITE_INTEGER && values[i].serialType == 8;
        if ((zero || !values[i].readable) && layout.offset(i) >= layout.pieceEnd(0))
            slack += 8;
    }
    return slack;
}

Damage findDamage(const std::vector<StoredValue>& values, const PayloadLayout& layout) {
    Damage damage;
    struct Zeros {
        qint64 text = 0;
        qint64 zero = 0;
    };
    std::map<qint64, Zeros> overflow;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const StoredValue& value = values[i];
        const qint64 start = layout.offset(i);
        if (!value.readable)
            damage.markFrom(layout.pieceAt(start));
        if (value.type != SQLITE_TEXT && value.type != SQLITE_BLOB)
            continue;
        const qint64 read = qint64(value.bytes.size());
        if (read < value.size)
            damage.markFrom(layout.pieceAt(start + read));
        // Only text must be UTF-8: a blob (an identity's bytes) is any bytes.
        if (const auto bad = value.type == SQLITE_TEXT ? firstInvalid(value.bytes, read == value.size) : std::nullopt)
            damage.mark(layout.pieceAt(start + qint64(*bad)));
        for (qint64 at = start; at < start + read;) {
            const qint64 piece = layout.pieceAt(at);
            const qint64 end = std::min(start + read, layout.pieceEnd(piece));
            if (piece > 0) {
                Zeros& zeros = overflow[piece];
                zeros.text += end - at;
                zeros.zero += std::count(value.bytes.begin() + (at - start), value.bytes.begin() + (end - start), '\0');
            }
            at = end;
        }
    }
    const qint64 unsure = placementSlack(values, layout);
    for (const auto& [piece, zeros] : overflow) {
        if (zeros.zero >= ZeroPieceBytes && zeros.text - zeros.zero <= unsure)
            damage.mark(piece);
    }
    return damage;
}

struct Checked {
    std::optional<std::string> value; // nothing: NULL, or lost
    bool whole = true;
};

std::vector<Checked> check(const std::vector<StoredValue>& values, qint64 usable) {
    const PayloadLayout layout(values, usable);
    const Damage damage = findDamage(values, layout);
    const qint64 slack = placementSlack(values, layout);
    std::vector<Checked> checked(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const StoredValue& value = values[i];
        Checked& result = checked[i];
        if (value.type == SQLITE_NULL)
            continue;
        const qint64 start = layout.offset(i);
        const std::optional<qint64> damaged =
            value.size == 0 ? std::nullopt
                            : damage.firstAmong(layout.pieceAt(start), layout.pieceAt(start + value.size - 1));
        if (value.type != SQLITE_TEXT && value.type != SQLITE_BLOB) {
            result.whole = value.readable && !damaged;
            if (result.whole)
                result.value = value.bytes;
            continue;
        }
        std::size_t kept = value.bytes.size();
        if (damaged)
            kept = std::size_t(std::clamp<qint64>(layout.pieceStart(*damaged) - slack - start, 0, qint64(kept)));
        if (value.type == SQLITE_TEXT)
            kept = wholeCharacters(value.bytes, kept);
        result.whole = qint64(kept) == value.size;
        if (result.whole || kept > 0)
            result.value = value.bytes.substr(0, kept);
    }
    return checked;
}

SalvagedRecord recordOf(const std::vector<StoredValue>& values, const std::vector<Column>& columns,
                        std::size_t fieldCount, qint64 usable) {
    const std::vector<Checked> checked = check(values, usable);
    SalvagedRecord record{SalvagedRecord::State::Whole, std::vector<std::optional<std::string>>(fieldCount)};
    bool whole = true, kept = false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].field < 0)
            continue;
        const Checked& field = checked[i];
        record.fields[std::size_t(columns[i].field)] = field.value;
        whole = whole && field.whole;
        kept = kept || (field.value && !field.value->empty());
    }
    // A record of which nothing but empty fields is left would be one the user never wrote.
    if (!whole)
        record.state = kept ? SalvagedRecord::State::InPart : SalvagedRecord::State::Lost;
    return record;
}

// The values of a row read whole: the type first, before a read as text converts it.
std::vector<StoredValue> valuesOf(SQLite::Statement& row, const std::vector<Column>& columns) {
    std::vector<StoredValue> values(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].isKey)
            continue;
        const SQLite::Column column = row.getColumn(int(i));
        const int type = column.getType();
        if (type == SQLITE_INTEGER) {
            setInteger(values[i], column.getInt64());
        } else if (type != SQLITE_NULL) {
            // Asked for its bytes, SQLite gives any value as text, NUL characters included.
            const char* bytes = static_cast<const char*>(column.getBlob());
            values[i].bytes.assign(bytes ? bytes : "", std::size_t(column.getBytes()));
            setSized(values[i], type, type == SQLITE_FLOAT ? 8 : qint64(values[i].bytes.size()));
        }
    }
    return values;
}

std::string selectList(const std::vector<Column>& columns, const QString& around) {
    QStringList names;
    for (const Column& column : columns)
        names << around.arg(Schema::quoted(QString::fromStdString(column.name)));
    return names.join(QStringLiteral(", ")).toStdString();
}

std::vector<Column> columnsOf(SQLite::Database& source, const Schema::Table& table) {
    std::vector<Column> columns;
    SQLite::Statement info(source, "SELECT name, upper(type), pk FROM pragma_table_info(?) ORDER BY cid");
    info.bind(1, table.name.toStdString());
    int keys = 0;
    while (info.executeStep()) {
        Column column{info.getColumn(0).getString()};
        const QString name = QString::fromStdString(column.name);
        column.field = int(table.fields.indexOf(name));
        const bool primary = info.getColumn(2).getInt() > 0;
        keys += primary ? 1 : 0;
        column.isKey = primary && name == Schema::KeyColumn && info.getColumn(1).getString() == "INTEGER";
        columns.push_back(column);
    }
    // Only a table's one INTEGER PRIMARY KEY is the rowid, stored as NULL.
    if (keys != 1)
        for (Column& column : columns)
            column.isKey = false;
    for (const QString& field : table.fields) {
        if (std::none_of(columns.begin(), columns.end(),
                         [&](const Column& column) { return column.name == field.toStdString(); }))
            throw StoreError(QStringLiteral("table \"%1\" has no field \"%2\"").arg(table.name, field));
    }
    return columns;
}

qint64 usableSizeOf(SQLite::Database& source) {
    const qint64 pageSize = source.execAndGet("PRAGMA page_size").getInt64();
    int reserved = -1; // asks, changes nothing
    if (sqlite3_file_control(source.getHandle(), "main", SQLITE_FCNTL_RESERVE_BYTES, &reserved) != SQLITE_OK)
        reserved = 0;
    return pageSize - std::max(0, reserved);
}

// A blob handle on one field of one record, closed on every way out.
struct FieldBlob {
    sqlite3_blob* blob = nullptr;
    ~FieldBlob() { sqlite3_blob_close(blob); }
};

} // namespace

SalvageReader::SalvageReader(SQLite::Database& source, const Schema::Table& table)
    : m_source(source), m_table(table.name.toStdString()), m_columns(columnsOf(source, table)),
      m_usableSize(usableSizeOf(source)), m_fieldCount(std::size_t(table.fields.size())),
      m_row(source, QStringLiteral("SELECT %1 FROM %2 NOT INDEXED WHERE %3 = ?")
                        .arg(QString::fromStdString(selectList(m_columns, QStringLiteral("%1"))),
                             Schema::quoted(table.name), Schema::quoted(Schema::KeyColumn))
                        .toStdString()),
      m_types(source, QStringLiteral("SELECT %1 FROM %2 NOT INDEXED WHERE %3 = ?")
                          .arg(QString::fromStdString(selectList(m_columns, QStringLiteral("typeof(%1)"))),
                               Schema::quoted(table.name), Schema::quoted(Schema::KeyColumn))
                          .toStdString()) {}

SalvageReader::~SalvageReader() = default;

SalvagedRecord SalvageReader::read(qint64 key) {
    try {
        m_row.tryReset();
        m_row.bind(1, int64_t(key));
        if (!m_row.executeStep())
            return {};
        return recordOf(valuesOf(m_row, m_columns), m_columns, m_fieldCount, m_usableSize);
    } catch (const std::exception&) {
        // Some page of the record cannot be read: what lies before it still can.
        return readPiecewise(key);
    }
}

SalvagedRecord SalvageReader::readPiecewise(qint64 key) {
    const SalvagedRecord lost{SalvagedRecord::State::Lost, {}};
    const bool keyIsRowid = std::any_of(m_columns.begin(), m_columns.end(), [](const Column& c) { return c.isKey; });
    std::vector<StoredValue> values(m_columns.size());
    std::vector<FieldBlob> blobs(m_columns.size());
    try {
        // The types come from the record's header alone, which lies on its leaf page.
        m_types.tryReset();
        m_types.bind(1, int64_t(key));
        if (!m_types.executeStep())
            return {};
        if (!keyIsRowid)
            return lost;
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            const std::string type = m_types.getColumn(int(i)).getString();
            if (m_columns[i].isKey || type == "null")
                continue;
            if (type == "text" || type == "blob") {
                if (sqlite3_blob_open(m_source.getHandle(), "main", m_table.c_str(), m_columns[i].name.c_str(), key, 0,
                                      &blobs[i].blob) != SQLITE_OK)
                    return lost;
                setSized(values[i], type == "text" ? SQLITE_TEXT : SQLITE_BLOB, sqlite3_blob_bytes(blobs[i].blob));
                continue;
            }
            // A number that cannot be read is taken at its widest: the pieces after
            // it are then placed early, so a text is cut short, never read past damage.
            SQLite::Statement number(m_source, QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                                   .arg(Schema::quoted(QString::fromStdString(m_columns[i].name)),
                                                        Schema::quoted(QString::fromStdString(m_table)))
                                                   .toStdString());
            number.bind(1, int64_t(key));
            bool read = false;
            try {
                read = number.executeStep();
            } catch (const std::exception&) {
            }
            if (!read) {
                setSized(values[i], SQLITE_FLOAT, 8);
                values[i].type = SQLITE_INTEGER;
                values[i].readable = false;
            } else if (type == "integer") {
                setInteger(values[i], number.getColumn(0).getInt64());
            } else {
                setSized(values[i], SQLITE_FLOAT, 8);
                values[i].bytes = number.getColumn(0).getString();
            }
        }
    } catch (const std::exception&) {
        return lost;
    }
    // Each text is read page by page, up to the first page that cannot be read.
    const PayloadLayout layout(values, m_usableSize);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!blobs[i].blob)
            continue;
        StoredValue& value = values[i];
        const qint64 start = layout.offset(i);
        for (qint64 at = 0; at < value.size;) {
            const qint64 end = std::min(value.size, layout.pieceEnd(layout.pieceAt(start + at)) - start);
            std::string piece(std::size_t(end - at), '\0');
            if (sqlite3_blob_read(blobs[i].blob, piece.data(), int(piece.size()), int(at)) != SQLITE_OK)
                break;
            value.bytes += piece;
            at = end;
        }
    }
    return recordOf(values, m_columns, m_fieldCount, m_usableSize);
}

bool SalvageReader::everyRecordWhole(SQLite::Database& source, const Schema::Table& table) {
    try {
        const std::vector<Column> columns = columnsOf(source, table);
        const qint64 usable = usableSizeOf(source);
        SQLite::Statement rows(source, QStringLiteral("SELECT %1 FROM %2")
                                           .arg(QString::fromStdString(selectList(columns, QStringLiteral("%1"))),
                                                Schema::quoted(table.name))
                                           .toStdString());
        while (rows.executeStep()) {
            if (recordOf(valuesOf(rows, columns), columns, std::size_t(table.fields.size()), usable).state !=
                SalvagedRecord::State::Whole)
                return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

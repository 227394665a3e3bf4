#include "Exporter.h"

#include "AtomicFile.h"
#include "BitwardenItems.h"
#include "DuplicateIndex.h"
#include "ExchangeError.h"
#include "Importer.h"
#include "TextFile.h"
#include "store/Connection.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFileInfo>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

namespace {

// One value of a row as SQLite holds it: UTF-8 bytes, or nothing for NULL.
struct Text {
    const char* data = nullptr;
    int size = 0;
    bool isNull() const { return data == nullptr; }
    bool isEmpty() const { return size == 0; }
    QString toString() const { return exactUtf8(data, size); }
};

// Reads a table's records in their natural order, straight from SQLite's buffers.
class Rows {
public:
    Rows(SQLite::Database& db, Section section) : m_fields(int(tableOf(section).fields.size())) {
        const QByteArray sql =
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                .arg(quotedFields(section), Schema::quoted(tableOf(section).name), Schema::quoted(Schema::KeyColumn))
                .toUtf8();
        if (sqlite3_prepare_v2(db.getHandle(), sql.constData(), -1, &m_statement, nullptr) != SQLITE_OK)
            throw ExchangeError(QString::fromUtf8(sqlite3_errmsg(db.getHandle())));
        m_values.resize(m_fields);
    }
    ~Rows() { sqlite3_finalize(m_statement); }
    bool next() {
        const int step = sqlite3_step(m_statement);
        if (step == SQLITE_DONE)
            return false;
        if (step != SQLITE_ROW)
            throw ExchangeError(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_statement))));
        for (int i = 0; i < m_fields; ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, i));
            m_values[i] = {text, text ? sqlite3_column_bytes(m_statement, i) : 0};
        }
        return true;
    }
    const Text& operator[](int field) const { return m_values[field]; }

private:
    int m_fields;
    sqlite3_stmt* m_statement = nullptr;
    std::vector<Text> m_values;
};

// Output gathered in memory and handed to the file in large pieces.
class Out {
public:
    explicit Out(AtomicFile& file) : m_file(file) { m_buffer.reserve(1 << 20); }
    ~Out() = default;
    void flushIfFull() {
        if (m_buffer.size() > (1 << 20) - 4096) {
            m_file.write(m_buffer);
            m_buffer.clear();
        }
    }
    void finish() {
        m_file.write(m_buffer);
        m_buffer.clear();
    }
    Out& operator<<(const char* text) {
        m_buffer.append(text);
        return *this;
    }
    QByteArray& buffer() { return m_buffer; }

private:
    AtomicFile& m_file;
    QByteArray m_buffer;
};

void jsonString(QByteArray& out, const char* data, int size) {
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    int start = 0;
    for (int i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(data + start, i - start);
        start = i + 1;
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            out.append("\\u00").append(hex[c >> 4]).append(hex[c & 15]);
        }
    }
    out.append(data + start, size - start);
    out.append('"');
}

void json(QByteArray& out, const Text& text) {
    if (text.isNull())
        out.append("null");
    else
        jsonString(out, text.data, text.size);
}

void json(QByteArray& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    jsonString(out, utf8.constData(), int(utf8.size()));
}

void customField(QByteArray& out, bool& first, const QString& name, const Text& value) {
    out.append(first ? "\n      \"fields\": [" : ",");
    first = false;
    out.append("\n        {\"name\": ");
    json(out, name);
    out.append(", \"value\": ");
    json(out, value);
    out.append(", \"type\": 0}");
}

void endFields(QByteArray& out, bool first) {
    if (!first)
        out.append("\n      ],");
}

// The start of an item: an identity made of the section and the record's place.
void itemStart(QByteArray& out, bool& firstItem, int type, Section section, qint64 number, const Text& name,
               const Text& notes) {
    out.append(firstItem ? "\n    {" : ",\n    {");
    firstItem = false;
    char id[64];
    std::snprintf(id, sizeof id, "00000000-0000-4000-8%03d-%012lld", int(section), static_cast<long long>(number));
    out.append("\n      \"id\": \"")
        .append(id)
        .append("\",\n      \"organizationId\": null,\n      \"folderId\": null,");
    out.append("\n      \"type\": ").append(QByteArray::number(type)).append(",\n      \"name\": ");
    json(out, name);
    out.append(",\n      \"notes\": ");
    json(out, notes);
    out.append(",\n      \"favorite\": false,");
}

void itemEnd(QByteArray& out) {
    out.append("\n      \"collectionIds\": null\n    }");
}

void writeItems(SQLite::Database& db, Section section, Out& out, bool& firstItem, qint64& count) {
    Rows rows(db, section);
    QByteArray& b = out.buffer();
    const QStringList& fields = tableOf(section).fields;
    const Text none;
    while (rows.next()) {
        ++count;
        bool firstField = true;
        switch (section) {
        case Section::Passwords: // Account, Website, User, Password, Notes
            itemStart(b, firstItem, BitwardenItems::Login, section, count, rows[0], rows[4]);
            b.append("\n      \"login\": {\"uris\": [");
            if (!rows[1].isEmpty()) {
                b.append("{\"match\": null, \"uri\": ");
                json(b, rows[1]);
                b.append("}");
            }
            b.append("], \"username\": ");
            json(b, rows[2]);
            b.append(", \"password\": ");
            json(b, rows[3]);
            b.append(", \"totp\": null},");
            break;
        case Section::CreditCards: { // Type Card, Card Number, Security Code, Month, Year, Bank Name, ...
            const QString type = rows[0].toString();
            const QString brand = BitwardenItems::brandOfCardType(type);
            const Text& name = !rows[5].isEmpty() ? rows[5] : rows[0];
            itemStart(b, firstItem, BitwardenItems::Card, section, count, name, none);
            if (BitwardenItems::cardTypeOfBrand(brand) != type)
                customField(b, firstField, fields.at(0), rows[0]);
            if (BitwardenItems::fourDigitYear(rows[4].toString()) != rows[4].toString())
                customField(b, firstField, fields.at(4), rows[4]);
            for (int field = 5; field < fields.size(); ++field)
                customField(b, firstField, fields.at(field), rows[field]);
            endFields(b, firstField);
            b.append("\n      \"card\": {\"cardholderName\": null, \"brand\": ");
            json(b, brand);
            b.append(", \"number\": ");
            json(b, rows[1]);
            b.append(", \"expMonth\": ");
            json(b, rows[3]);
            b.append(", \"expYear\": ");
            json(b, rows[4]);
            b.append(", \"code\": ");
            json(b, rows[2]);
            b.append("},");
            break;
        }
        case Section::Personal: // Full Name, Address, Address1, City, State, Zip, Email
            itemStart(b, firstItem, BitwardenItems::Identity, section, count, rows[0], none);
            b.append("\n      \"identity\": {\"title\": null, \"firstName\": ");
            json(b, rows[0]);
            b.append(", \"middleName\": null, \"lastName\": null, \"address1\": ");
            json(b, rows[1]);
            b.append(", \"address2\": ");
            json(b, rows[2]);
            b.append(", \"address3\": null, \"city\": ");
            json(b, rows[3]);
            b.append(", \"state\": ");
            json(b, rows[4]);
            b.append(", \"postalCode\": ");
            json(b, rows[5]);
            b.append(", \"country\": null, \"company\": null, \"email\": ");
            json(b, rows[6]);
            b.append(", \"phone\": null, \"ssn\": null, \"username\": null, \"passportNumber\": null, "
                     "\"licenseNumber\": null},");
            break;
        case Section::Notes: // Title, Note
            itemStart(b, firstItem, BitwardenItems::SecureNote, section, count, rows[0], rows[1]);
            b.append("\n      \"secureNote\": {\"type\": 0},");
            break;
        case Section::Reminders: // Date, Reminder: a note titled with its date
            itemStart(b, firstItem, BitwardenItems::SecureNote, section, count, rows[0], rows[1]);
            customField(b, firstField, BitwardenItems::ReminderDateField, rows[0]);
            endFields(b, firstField);
            b.append("\n      \"secureNote\": {\"type\": 0},");
            break;
        }
        itemEnd(b);
        out.flushIfFull();
    }
}

// RFC 4180: a field with a comma, a quote or a line break is quoted, its quotes doubled.
void csvField(QByteArray& out, const Text& text) {
    bool quote = false;
    for (int i = 0; i < text.size && !quote; ++i) {
        const char c = text.data[i];
        quote = c == ',' || c == '"' || c == '\n' || c == '\r';
    }
    if (!quote) {
        out.append(text.data, text.size);
        return;
    }
    out.append('"');
    int start = 0;
    for (int i = 0; i < text.size; ++i) {
        if (text.data[i] == '"') {
            out.append(text.data + start, i - start + 1).append('"');
            start = i + 1;
        }
    }
    out.append(text.data + start, text.size - start).append('"');
}

std::unique_ptr<Connection> open(const QString& path) {
    try {
        return std::make_unique<Connection>(path);
    } catch (const StoreError& e) {
        throw ExchangeError(e.message());
    }
}

} // namespace

Exporter::Exporter(QString databasePath) : m_databasePath(std::move(databasePath)) {}

QString Exporter::csvFileName(Section section) {
    return sectionWord(section) + QStringLiteral(".csv");
}

SectionCounts Exporter::writeJson(const QString& path) const {
    refuseDatabaseTarget(path, m_databasePath);
    const std::unique_ptr<Connection> connection = open(m_databasePath);
    SectionCounts counts{};
    AtomicFile file(path);
    Out out(file);
    try {
        // One read transaction: the file shows the records as they were at one moment.
        SQLite::Transaction snapshot(connection->db());
        out << "{\n  \"encrypted\": false,\n  \"folders\": [],\n  \"items\": [";
        bool firstItem = true;
        for (Section section : AllSections)
            writeItems(connection->db(), section, out, firstItem, at(counts, section));
        out << "\n  ]\n}\n";
    } catch (const SQLite::Exception& e) {
        throw ExchangeError(connection->failure(QStringLiteral("cannot be read"), e));
    }
    out.finish();
    file.commit();
    return counts;
}

SectionCounts Exporter::writeCsv(const QString& folder) const {
    if (!QFileInfo(folder).isDir())
        throw ExchangeError(QStringLiteral("The folder %1 does not exist.").arg(folder));
    const std::unique_ptr<Connection> connection = open(m_databasePath);
    try {
        return writeCsvFiles(*connection, folder);
    } catch (const ExchangeError& e) {
        throw ExchangeError(e.message() + QStringLiteral(" No file in the folder has been replaced."));
    }
}

SectionCounts Exporter::writeCsvFiles(Connection& connection, const QString& folder) const {
    SectionCounts counts{};
    // All five files are written before any is put in place: a folder never
    // holds some files of this export beside others of an older one.
    std::vector<std::unique_ptr<AtomicFile>> files;
    // One read transaction: the files show the records as they were at one moment.
    std::optional<SQLite::Transaction> snapshot;
    try {
        snapshot.emplace(connection.db());
    } catch (const SQLite::Exception& e) {
        throw ExchangeError(connection.failure(QStringLiteral("cannot be read"), e));
    }
    for (Section section : AllSections) {
        const QString path = QDir(folder).filePath(csvFileName(section));
        refuseDatabaseTarget(path, m_databasePath);
        files.push_back(std::make_unique<AtomicFile>(path));
        Out out(*files.back());
        QByteArray& b = out.buffer();
        const QStringList& fields = tableOf(section).fields;
        for (int i = 0; i < fields.size(); ++i) {
            const QByteArray name = fields.at(i).toUtf8();
            csvField(b, {name.constData(), int(name.size())});
            b.append(i + 1 < fields.size() ? "," : "\r\n");
        }
        try {
            Rows rows(connection.db(), section);
            while (rows.next()) {
                ++at(counts, section);
                for (int i = 0; i < fields.size(); ++i) {
                    csvField(b, rows[i]);
                    b.append(i + 1 < fields.size() ? "," : "\r\n");
                }
                out.flushIfFull();
            }
        } catch (const SQLite::Exception& e) {
            throw ExchangeError(connection.failure(QStringLiteral("cannot be read"), e));
        }
        out.finish();
    }
    std::vector<AtomicFile*> written;
    for (const std::unique_ptr<AtomicFile>& file : files)
        written.push_back(file.get());
    AtomicFile::commitAll(written);
    return counts;
}

QString Exporter::resultText(const SectionCounts& counts, const QString& where) {
    QStringList lines{QStringLiteral("The records have been exported to %1:").arg(where)};
    for (Section section : AllSections)
        lines << QStringLiteral("%1: %2").arg(sectionTitle(section)).arg(at(counts, section));
    lines << Importer::plainTextReminder();
    return lines.join(QLatin1Char('\n'));
}

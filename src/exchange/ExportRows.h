#pragma once

#include "AtomicFile.h"
#include "DuplicateIndex.h"
#include "ExchangeError.h"
#include "TextFile.h"
#include "store/Section.h"

#include <SQLiteCpp/Database.h>
#include <sqlite3.h>
#include <vector>

// What the writers of export files share: the rows of a table straight from
// SQLite, and output handed to the file in large pieces.
namespace ExportRows {

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
    // With the key, it is read after the fields, as key().
    Rows(SQLite::Database& db, Section section, bool withKey = false) : m_fields(int(tableOf(section).fields.size())) {
        const QString columns =
            quotedFields(section) + (withKey ? QStringLiteral(",") + Schema::quoted(Schema::KeyColumn) : QString());
        const QByteArray sql =
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                .arg(columns, Schema::quoted(tableOf(section).name), Schema::quoted(Schema::KeyColumn))
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
    qint64 key() const { return sqlite3_column_int64(m_statement, m_fields); }
    QStringList values() const {
        QStringList out;
        for (const Text& text : m_values)
            out << (text.isNull() ? QString() : text.toString());
        return out;
    }

private:
    int m_fields;
    sqlite3_stmt* m_statement = nullptr;
    std::vector<Text> m_values;
};

// Output gathered in memory and handed to the file in large pieces.
// Without a file, all of it stays in the buffer: a protected export is sealed whole.
class Out {
public:
    explicit Out(AtomicFile* file) : m_file(file) { m_buffer.reserve(1 << 20); }
    ~Out() = default;
    void flushIfFull() {
        if (m_file && m_buffer.size() > (1 << 20) - 4096) {
            m_file->write(m_buffer);
            m_buffer.clear();
        }
    }
    void finish() {
        if (!m_file)
            return;
        m_file->write(m_buffer);
        m_buffer.clear();
    }
    Out& operator<<(const char* text) {
        m_buffer.append(text);
        return *this;
    }
    QByteArray& buffer() { return m_buffer; }

private:
    AtomicFile* m_file;
    QByteArray m_buffer;
};

} // namespace ExportRows

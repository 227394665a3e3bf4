#pragma once

#include <QString>
#include <string>

struct sqlite3;
namespace SQLite {
class Column;
class Statement;
} // namespace SQLite

// How a file keeps each record's identity.
//
// From version 5 on, an identity is stored as the 16 bytes of its UUID (a blob):
// the 36 characters of its text, in the table and again in its unique index,
// took as much room as the text of a short record. Older files keep the text.
// Whatever the file, the program shows and takes an identity as UUID text.
namespace StoredIdentity {

// The first version that keeps identities as bytes and computers by number.
constexpr int CompactVersion = 5;

// The stored form of an identity for a file of version 5 or later: the 16 bytes
// of a UUID given as text; anything else (16 bytes already, a foreign text) as
// it is.
std::string bytesOf(const std::string& identity);

// The UUID text of an identity in either form; a text that is no UUID as it is.
QString textOf(const std::string& stored);
QString textOf(const SQLite::Column& column);

// An identity in either form, in the form a file keeps: bytes when compact,
// UUID text otherwise.
std::string inForm(const std::string& identity, bool compact);
// The form a file of the given version stores the identity in.
std::string forFile(const QString& text, int fileVersion);

// Binds an identity as it is stored: 16 bytes as a blob, anything else as text,
// so that it compares equal to the stored value.
void bind(SQLite::Statement& statement, int index, const std::string& stored);

// Adds stored_identity(x) to the connection: bytesOf(x) for a text, any other
// value as it is. For statements that compare identities of files of any version
// with those of a newer one.
void addFunction(sqlite3* db);

} // namespace StoredIdentity

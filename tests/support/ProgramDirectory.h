#pragma once

#include <QString>
#include <QTemporaryDir>

// True when only the file's owner may read or write it.
bool isOwnerOnly(const QString& path);
// A file's bytes, empty when it cannot be read.
QByteArray fileBytes(const QString& path);
// SQLite's integrity check of a database file, opened read-write as the program
// opens it (a journal left by a killed write is rolled back first); "ok" when sound.
QString integrityOf(const QString& path);

// A fresh program directory for one test, holding copies of the delivered files
// brought to the newest layout, as the program's start brings them.
class ProgramDirectory {
public:
    ProgramDirectory();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QString recordDatabase() const { return file(QStringLiteral("password.mdb")); }
    QString passwordStore() const { return file(QStringLiteral("pass2.mdb")); }

    // Runs SQL on a database file of the directory, outside any binder.
    void exec(const QString& fileName, const QString& sql) const;
    // A single value read straight from a database file.
    QString query(const QString& fileName, const QString& sql) const;
    qint64 count(const QString& table) const;
    QByteArray bytes(const QString& fileName) const;
    // Makes the database refuse every insert and update of a table, as a full
    // or damaged file would (permissions do not stop root).
    void refuseWrites(const QString& fileName, const QString& table) const;

private:
    void copyFiles(const QString& directory, const QString& pattern) const;

    QTemporaryDir m_dir;
};

// Empty when every search index of a record database holds exactly what a
// rebuild from its records would give; otherwise the first difference found.
// The file itself is not changed: the rebuild runs on a copy.
QString searchIndexProblem(const QString& path);

// An account written straight into a record database file, and the number of
// accounts of that name in one: what a start must keep between two runs.
void addAccount(const QString& database, const QString& account);
qint64 accountsNamed(const QString& database, const QString& account);

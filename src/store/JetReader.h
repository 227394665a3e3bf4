#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Reads tables of an old Jet 3 or Jet 4 database file through libmdb. Text comes
// back as Unicode, decoded from the file's code page (Jet 3) or UTF-16 (Jet 4).
class JetReader {
public:
    // True when the file begins with the Jet signature.
    static bool isJetFile(const QString& path);

    explicit JetReader(const QString& path); // throws StoreError
    ~JetReader();
    JetReader(const JetReader&) = delete;
    JetReader& operator=(const JetReader&) = delete;

    int jetVersion() const; // 3 or 4
    // A Jet 3 file protected with a database password; libmdb reads it all the same.
    bool hasDatabasePassword() const;
    QStringList tables() const;
    // The table's columns; throws StoreError when the table is missing.
    QStringList columns(const QString& table) const;
    // The number of records the table's header gives.
    qint64 storedRowCount(const QString& table) const;
    // Calls back with every record in stored order, one value per column ("" for NULL).
    // Returns the number of records read. Throws StoreError, never truncates a value.
    qint64 readRows(const QString& table, const std::function<void(const QStringList&)>& row) const;

private:
    QString m_path;
    void* m_handle = nullptr; // libmdb's MdbHandle, which cannot be declared ahead
};

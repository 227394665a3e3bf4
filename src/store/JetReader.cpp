#include "JetReader.h"

#include "StoreError.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <vector>

// libmdb's header needs glib's declarations first.
#include <glib.h>
#include <mdbtools.h>

namespace {

// The largest value read in one piece. A value that fills it is refused, not cut.
constexpr size_t BindSize = 16 * 1024 * 1024;

MdbTableDef* openTable(MdbHandle* mdb, const QString& table, const QString& path) {
    QByteArray name = table.toUtf8();
    MdbTableDef* def = mdb_read_table_by_name(mdb, name.data(), MDB_TABLE);
    if (!def)
        throw StoreError(QStringLiteral("The old database file %1 has no table \"%2\".").arg(path, table));
    if (!mdb_read_columns(def)) {
        mdb_free_tabledef(def);
        throw StoreError(QStringLiteral("The columns of table \"%2\" in %1 cannot be read.").arg(path, table));
    }
    return def;
}

using TablePtr = std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)>;

MdbHandle* handle(void* p) {
    return static_cast<MdbHandle*>(p);
}

} // namespace

bool JetReader::isJetFile(const QString& path) {
    // Only a regular file is opened: opening a named pipe or a device would wait
    // for a writer that never comes.
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(0x15);
    return head.size() == 0x15 && head.mid(4, 15) == QByteArrayLiteral("Standard Jet DB") &&
           (head[0x14] == 0 || head[0x14] == 1);
}

JetReader::JetReader(const QString& path) : m_path(path) {
    if (!isJetFile(path))
        throw StoreError(QStringLiteral("%1 is not a Jet database file.").arg(path));
    MdbHandle* mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!mdb)
        throw StoreError(QStringLiteral("The old database file %1 cannot be opened.").arg(path));
    if (!mdb_read_catalog(mdb, MDB_TABLE)) {
        mdb_close(mdb);
        throw StoreError(QStringLiteral("The catalog of the old database file %1 cannot be read.").arg(path));
    }
    mdb_set_bind_size(mdb, BindSize);
    m_handle = mdb;
}

JetReader::~JetReader() {
    if (m_handle)
        mdb_close(handle(m_handle));
}

int JetReader::jetVersion() const {
    return handle(m_handle)->f->jet_version == MDB_VER_JET3 ? 3 : 4;
}

bool JetReader::hasDatabasePassword() const {
    for (char c : handle(m_handle)->f->db_passwd) {
        if (c != 0)
            return true;
    }
    return false;
}

QStringList JetReader::tables() const {
    QStringList names;
    for (unsigned i = 0; i < handle(m_handle)->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(handle(m_handle)->catalog, i));
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry))
            names << QString::fromUtf8(entry->object_name);
    }
    return names;
}

QStringList JetReader::columns(const QString& table) const {
    TablePtr def(openTable(handle(m_handle), table, m_path), mdb_free_tabledef);
    QStringList names;
    for (unsigned c = 0; c < def->num_cols; ++c)
        names << QString::fromUtf8(static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c))->name);
    return names;
}

qint64 JetReader::storedRowCount(const QString& table) const {
    TablePtr def(openTable(handle(m_handle), table, m_path), mdb_free_tabledef);
    return def->num_rows;
}

qint64 JetReader::readRows(const QString& table, const std::function<void(const QStringList&)>& row) const {
    TablePtr def(openTable(handle(m_handle), table, m_path), mdb_free_tabledef);
    const unsigned count = def->num_cols;
    std::vector<std::unique_ptr<char[]>> buffers;
    std::vector<int> lengths(count, 0);
    for (unsigned c = 0; c < count; ++c) {
        buffers.emplace_back(new char[BindSize + 1]);
        if (mdb_bind_column(def.get(), int(c) + 1, buffers.back().get(), &lengths[c]) == -1)
            throw StoreError(QStringLiteral("The table \"%1\" in %2 cannot be read.").arg(table, m_path));
    }
    mdb_rewind_table(def.get());
    qint64 rows = 0;
    QStringList values;
    while (mdb_fetch_row(def.get())) {
        values.clear();
        for (unsigned c = 0; c < count; ++c) {
            if (size_t(lengths[c]) >= BindSize - 1)
                throw StoreError(
                    QStringLiteral("A value in table \"%1\" of %2 is too long to convert.").arg(table, m_path));
            QString value = QString::fromUtf8(buffers[c].get(), lengths[c]);
            // The old files end lines with CR LF; the program keeps line feeds alone.
            value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            values << value;
        }
        row(values);
        ++rows;
    }
    return rows;
}

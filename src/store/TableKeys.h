#pragma once

#include "KeySnapshot.h"

#include <QtGlobal>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

// The keys of a table in natural order, as a binder took them.
//
// A file that records its deleted keys gives them as the range from the first to
// the last key less the deleted keys, counted per block of 1024 keys: a position
// or a key is found from the blocks' counts, and the deleted keys of one block are
// read only when a key of that block is asked for. Load, lookups and deletions
// cost the same whatever the size of the table and the number of deleted keys.
// Keys listed one by one (a file without that record) and keys added after the
// range come after it as runs of consecutive keys.
class TableKeys {
public:
    static constexpr int BlockBits = 10;
    static constexpr qint64 BlockSize = qint64(1) << BlockBits;
    // The deleted keys between two keys, ascending, as they were when the keys were
    // taken; nothing when they cannot be read.
    using DeletedReader = std::function<std::optional<std::vector<qint64>>(qint64 first, qint64 last)>;
    struct BlockCount {
        qint64 block = 0; // key >> BlockBits
        qint64 deleted = 0;
    };

    void clear();
    // Keys must come in ascending order, after the range.
    void append(qint64 key) { m_listed.append(key); }
    void appendRun(qint64 first, qint64 count) { m_listed.appendRun(first, count); }
    // The keys first..last less the deleted ones; the counts of deleted keys within
    // first..last per block, ascending by block.
    void setRange(qint64 first, qint64 last, const std::vector<BlockCount>& deleted, DeletedReader reader);

    qint64 size() const { return rangeSize() + m_listed.size(); }
    // 0 when the position is outside the snapshot.
    qint64 keyAt(qint64 position) const;
    // -1 when the key is not in the snapshot.
    qint64 positionOf(qint64 key) const;
    void removeAt(qint64 position);

private:
    struct Block {
        qint64 index = 0;
        qint64 deleted = 0;
        qint64 deletedBefore = 0; // in the blocks before this one
    };
    qint64 rangeSize() const { return m_first > m_last ? 0 : m_last - m_first + 1 - m_totalDeleted; }
    qint64 blockStart(qint64 index) const { return std::max(m_first, index * BlockSize); }
    qint64 blockEnd(qint64 index) const { return std::min(m_last, index * BlockSize + (BlockSize - 1)); }
    // The first block whose index is not below the given one.
    std::vector<Block>::const_iterator blockFrom(qint64 index) const;
    // The deleted keys of a listed block, ascending.
    const std::vector<qint64>& deletedIn(const Block& block) const;
    void renumber();

    qint64 m_first = 1;
    qint64 m_last = 0;
    std::vector<Block> m_blocks; // only blocks holding deleted keys
    qint64 m_totalDeleted = 0;
    DeletedReader m_reader;
    std::set<qint64> m_removed; // deleted through this snapshot, in the range
    mutable std::map<qint64, std::vector<qint64>> m_read;
    mutable std::vector<qint64> m_unread; // a block that could not be read
    KeySnapshot m_listed;
};

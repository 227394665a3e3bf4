#include "TableKeys.h"

#include <algorithm>

namespace {
// Blocks whose deleted keys are kept once read; at most this many keys' worth of memory.
constexpr size_t BlocksKept = 64;
} // namespace

void TableKeys::clear() {
    m_first = 1;
    m_last = 0;
    m_blocks.clear();
    m_totalDeleted = 0;
    m_reader = nullptr;
    m_removed.clear();
    m_read.clear();
    m_listed.clear();
}

void TableKeys::setRange(qint64 first, qint64 last, const std::vector<BlockCount>& deleted, DeletedReader reader) {
    clear();
    m_first = first;
    m_last = last;
    m_reader = std::move(reader);
    for (const BlockCount& b : deleted) {
        if (b.deleted > 0)
            m_blocks.push_back({b.block, b.deleted, 0});
    }
    renumber();
}

void TableKeys::renumber() {
    qint64 before = 0;
    for (Block& b : m_blocks) {
        b.deletedBefore = before;
        before += b.deleted;
    }
    m_totalDeleted = before;
}

std::vector<TableKeys::Block>::const_iterator TableKeys::blockFrom(qint64 index) const {
    return std::lower_bound(m_blocks.begin(), m_blocks.end(), index,
                            [](const Block& b, qint64 i) { return b.index < i; });
}

const std::vector<qint64>& TableKeys::deletedIn(const Block& block) const {
    auto found = m_read.find(block.index);
    if (found != m_read.end())
        return found->second;
    const qint64 start = blockStart(block.index);
    const qint64 end = blockEnd(block.index);
    std::optional<std::vector<qint64>> keys = m_reader ? m_reader(start, end) : std::nullopt;
    if (!keys) {
        m_unread.clear();
        return m_unread;
    }
    // The snapshot's own deletions came after it was taken: the reader does not give them.
    for (auto it = m_removed.lower_bound(start); it != m_removed.end() && *it <= end; ++it)
        keys->push_back(*it);
    std::sort(keys->begin(), keys->end());
    keys->erase(std::unique(keys->begin(), keys->end()), keys->end());
    if (m_read.size() >= BlocksKept)
        m_read.clear();
    return m_read.emplace(block.index, std::move(*keys)).first->second;
}

qint64 TableKeys::keyAt(qint64 position) const {
    const qint64 inRange = rangeSize();
    if (position < 0 || position >= size())
        return 0;
    if (position >= inRange)
        return m_listed.keyAt(position - inRange);
    // The last block with deleted keys that starts at or before the position.
    auto after = std::upper_bound(m_blocks.begin(), m_blocks.end(), position, [this](qint64 p, const Block& b) {
        return p < blockStart(b.index) - m_first - b.deletedBefore;
    });
    if (after == m_blocks.begin())
        return m_first + position;
    const Block& block = *(after - 1);
    const qint64 start = blockStart(block.index);
    const qint64 livesBefore = start - m_first - block.deletedBefore;
    const qint64 livesIn = blockEnd(block.index) - start + 1 - block.deleted;
    if (position >= livesBefore + livesIn)
        return blockEnd(block.index) + 1 + (position - livesBefore - livesIn);
    qint64 key = start + (position - livesBefore);
    for (qint64 gone : deletedIn(block)) {
        if (gone > key)
            break;
        ++key;
    }
    return key;
}

qint64 TableKeys::positionOf(qint64 key) const {
    if (m_first <= m_last && key >= m_first && key <= m_last) {
        const qint64 index = key >> BlockBits;
        auto block = blockFrom(index);
        qint64 deletedBelow = block == m_blocks.end() ? m_totalDeleted : block->deletedBefore;
        if (block != m_blocks.end() && block->index == index) {
            const std::vector<qint64>& gone = deletedIn(*block);
            auto at = std::lower_bound(gone.begin(), gone.end(), key);
            if (at != gone.end() && *at == key)
                return -1;
            deletedBelow += at - gone.begin();
        }
        return key - m_first - deletedBelow;
    }
    const qint64 listed = m_listed.positionOf(key);
    return listed < 0 ? -1 : rangeSize() + listed;
}

void TableKeys::removeAt(qint64 position) {
    const qint64 inRange = rangeSize();
    if (position < 0 || position >= size())
        return;
    if (position >= inRange) {
        m_listed.removeAt(position - inRange);
        return;
    }
    const qint64 key = keyAt(position);
    const qint64 index = key >> BlockBits;
    auto block = m_blocks.begin() + (blockFrom(index) - m_blocks.cbegin());
    if (block == m_blocks.end() || block->index != index)
        block = m_blocks.insert(block, {index, 0, 0});
    ++block->deleted;
    m_removed.insert(key);
    auto read = m_read.find(index);
    if (read != m_read.end())
        read->second.insert(std::lower_bound(read->second.begin(), read->second.end(), key), key);
    renumber();
}

#include "RecordCopyKeys.h"

#include "Schema.h"

#include <SQLiteCpp/Statement.h>
#include <limits>
#include <optional>

namespace {

constexpr qint64 Lowest = std::numeric_limits<qint64>::min();
constexpr qint64 Highest = std::numeric_limits<qint64>::max();
// Keys walked between two looks at the listener.
constexpr int KeysBetweenLooks = 1024;

// Key arithmetic in unsigned numbers: it wraps where signed numbers would overflow.
qint64 offsetFrom(qint64 key, quint64 offset) {
    return qint64(quint64(key) + offset);
}
quint64 distance(qint64 from, qint64 to) {
    return quint64(to) - quint64(from);
}

class KeyWalk {
public:
    KeyWalk(SQLite::Database& db, const QString& table, const QString& index, CopyProgress& progress)
        : m_walk(db, QStringLiteral("SELECT %1 FROM %2 %3 WHERE %1 >= ? ORDER BY %1")
                         .arg(Schema::quoted(Schema::KeyColumn), Schema::quoted(table),
                              index.isEmpty() ? QStringLiteral("NOT INDEXED")
                                              : QStringLiteral("INDEXED BY ") + Schema::quoted(index))
                         .toStdString()),
          m_progress(progress) {}

    std::vector<qint64> keys() {
        std::vector<qint64> found;
        std::optional<qint64> from = Lowest;
        while (from) {
            qint64 next = *from; // the lowest key not yet walked past
            bool moved = false;
            try {
                start(next);
                while (m_walk.executeStep()) {
                    const qint64 key = m_walk.getColumn(0).getInt64();
                    // A damaged page can give keys out of order: never walk back.
                    if (key < next)
                        throw std::runtime_error("keys out of order");
                    found.push_back(key);
                    moved = true;
                    if (key == Highest)
                        return found;
                    next = key + 1;
                    if (found.size() % KeysBetweenLooks == 0)
                        m_progress.stillWorking();
                }
                return found;
            } catch (const CopyCancelled&) {
                throw;
            } catch (const std::exception&) {
                // A start that gave nothing before failing is not tried again.
                if (!moved && next == Highest)
                    return found;
                from = resumeFrom(moved ? next : next + 1);
            }
        }
        return found;
    }

private:
    void start(qint64 key) {
        m_walk.tryReset(); // an earlier failure was dealt with: never thrown again
        m_walk.bind(1, int64_t(key));
    }

    // True when a walk starting at key reads its first step without error.
    bool reachable(qint64 key) {
        m_progress.stillWorking();
        try {
            start(key);
            m_walk.executeStep();
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

    // The lowest start from `first` on from which a walk goes on; nothing when none does.
    // Probes the starts first, first + 1, first + 3, first + 7, ... and at last the
    // highest key (at most 65 probes), then halves the gap between the last start
    // that failed and the first that worked (at most 64 more).
    std::optional<qint64> resumeFrom(qint64 first) {
        const quint64 room = distance(first, Highest);
        quint64 probe = 0; // offsets from first
        quint64 failed = 0;
        bool anyFailed = false;
        while (!reachable(offsetFrom(first, probe))) {
            anyFailed = true;
            failed = probe;
            if (probe == room)
                return std::nullopt;
            probe = probe >= (room - 1) / 2 ? room : 2 * probe + 1;
        }
        if (!anyFailed)
            return first;
        quint64 low = failed, high = probe;
        while (high - low > 1) {
            const quint64 middle = low + (high - low) / 2;
            (reachable(offsetFrom(first, middle)) ? high : low) = middle;
        }
        return offsetFrom(first, high);
    }

    SQLite::Statement m_walk;
    CopyProgress& m_progress;
};

} // namespace

std::vector<qint64> walkKeys(SQLite::Database& db, const QString& table, const QString& index, CopyProgress& progress) {
    return KeyWalk(db, table, index, progress).keys();
}

QString keyIndexOf(SQLite::Database& db, const QString& table) {
    try {
        SQLite::Statement indexes(db, "SELECT name FROM pragma_index_list(?) WHERE partial = 0");
        indexes.bind(1, table.toStdString());
        while (indexes.executeStep()) {
            const std::string name = indexes.getColumn(0).getString();
            SQLite::Statement columns(db, "SELECT group_concat(name, '|') FROM pragma_index_info(?)");
            columns.bind(1, name);
            if (columns.executeStep() && !columns.getColumn(0).isNull() &&
                QString::fromStdString(columns.getColumn(0).getString()) == Schema::KeyColumn)
                return QString::fromStdString(name);
        }
    } catch (const std::exception&) {
        // The schema cannot tell: the table's own walk alone gives the keys.
    }
    return {};
}

#include "FindWindow.h"

#include "HitCounter.h"
#include "KeptScrollBarStyle.h"
#include "ResultDelegate.h"
#include "SearchResultModel.h"
#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "platform/Windows.h"
#include "search/RecordSearch.h"
#include "sections/RecordDisplay.h"
#include "store/DataBinder.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {

std::optional<Section> sectionOf(const QString& table) {
    for (const Section section : AllSections) {
        if (tableOf(section).name == table)
            return section;
    }
    return std::nullopt;
}

// The window that shows records; the main window while the program runs.
RecordDisplay* recordDisplay(const Windows& windows) {
    for (AppWindow* window : windows.openWindows()) {
        if (auto* display = dynamic_cast<RecordDisplay*>(window))
            return display;
    }
    return nullptr;
}

// The list's top and the margin below it, in twips.
constexpr int ListTop = 930;
constexpr int ListMargin = 120;

} // namespace

FindWindow::FindWindow(AppContext& context) : AppWindow(context, Name, nullptr, Qt::Window) {
    setWindowTitle(QStringLiteral("Find"));
    setClientSize(this, 10200, 6720);
    // Shorter, down to a few rows, where the screen has no room for it beside the records.
    setMinimumHeight(twips(ListTop + 1800 + ListMargin));

    lblFind = makeLabel(this, QStringLiteral("Find:"), 120, 180, 600, 240, Qt::AlignRight | Qt::AlignVCenter);
    lblFind->setObjectName(QStringLiteral("lblFind"));
    txtFind = makeBox(this, QStringLiteral("txtFind"), 780, 120, 9300, 345);
    lblFind->setBuddy(txtFind); // screen readers name the box by its label
    txtFind->setPlaceholderText(QStringLiteral("Type any part of a name, address, note or reminder"));

    lblCounts = makeLabel(this, QString(), 120, 585, 9960, 240);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));

    m_model = new SearchResultModel(this);
    lstResults = new QTableView(this);
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setAccessibleName(QStringLiteral("Records found"));
    place(lstResults, 120, ListTop, 9960, 6720 - ListTop - ListMargin);
    lstResults->setModel(m_model);
    lstResults->setItemDelegate(new ResultDelegate(lstResults));
    lstResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstResults->setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab leaves the list for the box; the arrow keys move through the records.
    lstResults->setTabKeyNavigation(false);
    lstResults->setWordWrap(false);
    // A list rather than a grid, and its columns keep their widths while it fills
    // and empties as the user types: each keystroke repaints only what it changed.
    lstResults->setShowGrid(false);
    lstResults->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* keptLooks = new KeptScrollBarStyle;
    keptLooks->setParent(this);
    lstResults->verticalScrollBar()->setStyle(keptLooks);
    lstResults->setCornerButtonEnabled(false);
    lstResults->verticalHeader()->hide();
    // Every row as high as a line of the list's font, whatever script a text is in:
    // the number of rows that fill the list, and so the page read, stays known.
    lstResults->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lstResults->verticalHeader()->setDefaultSectionSize(lstResults->fontMetrics().height() + 6);
    lstResults->horizontalHeader()->setStretchLastSection(true);
    lstResults->horizontalHeader()->setHighlightSections(false);
    const QFontMetrics metrics = lstResults->fontMetrics();
    const int margin =
        2 * lstResults->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + metrics.averageCharWidth() * 2;
    lstResults->setColumnWidth(SearchResultModel::SectionColumn,
                               metrics.horizontalAdvance(QStringLiteral("Credit Cards")) + margin);
    lstResults->setColumnWidth(SearchResultModel::NameColumn, twips(3000));
    lstResults->setColumnWidth(SearchResultModel::FieldColumn,
                               metrics.horizontalAdvance(QStringLiteral("Account Name")) + margin);

    // Keystrokes that arrive together are answered by one search, run as soon as
    // the typing has been handled. Posted rather than timed, it runs before the
    // window repaints, so the box and the list show the keystroke in one paint.
    connect(txtFind, &QLineEdit::textChanged, this, [this] {
        if (std::exchange(m_searchWanted, true))
            return;
        QMetaObject::invokeMethod(this, &FindWindow::searchNow, Qt::QueuedConnection);
    });
    connect(lstResults, &QTableView::doubleClicked, this, &FindWindow::showPicked);
    // Hits that a long search found in later turns: the first of them is selected.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!lstResults->currentIndex().isValid())
            lstResults->setCurrentIndex(m_model->index(0, 0));
    });
    // Counts the search stopped short of go on in later turns, and are known at
    // once when the list holds every hit.
    m_counter = new HitCounter(this);
    connect(m_counter, &HitCounter::counted, this, &FindWindow::showCounts);
    connect(m_model, &SearchResultModel::allRead, this, [this] {
        m_counter->stop();
        QList<HitCount> exact;
        for (const qint64 count : m_model->countsRead())
            exact << HitCount{count, true};
        showCounts(exact);
    });
    connect(m_model, &SearchResultModel::failed, this,
            [this](const QString& message) { m_context.prompter.critical(message); });
    connect(m_model, &SearchResultModel::indexDamaged, this, &FindWindow::offerRepair);
    txtFind->installEventFilter(this);
    lstResults->installEventFilter(this);
    setTabOrder(txtFind, lstResults);
    txtFind->setFocus();
    // Beside the window that shows the records, so the record picked shows without hiding the list.
    placeBeside(this, dynamic_cast<QWidget*>(recordDisplay(context.windows)));
}

FindWindow::~FindWindow() = default;

void FindWindow::resizeEvent(QResizeEvent* event) {
    AppWindow::resizeEvent(event);
    lstResults->resize(lstResults->width(), height() - twips(ListTop + ListMargin));
}

bool FindWindow::load() {
    try {
        m_file = FileIdentity::of(m_context.file(Schema::RecordDatabaseFile));
        m_search = std::make_unique<RecordSearch>(m_context.file(Schema::RecordDatabaseFile));
        m_seenVersion = m_search->dataVersion();
    } catch (const SearchIndexDamaged&) {
        offerRepair();
        return false;
    } catch (const StoreError& e) {
        m_context.prompter.critical(e.message());
        return false;
    }
    auto* follow = new QTimer(this);
    connect(follow, &QTimer::timeout, this, &FindWindow::followFile);
    follow->start(DataBinder::FollowIntervalMs);
    return true;
}

void FindWindow::followFile() {
    if (!m_search)
        return;
    const QString path = m_context.file(Schema::RecordDatabaseFile);
    const int row = std::max(0, lstResults->currentIndex().row());
    try {
        const FileIdentity now = FileIdentity::of(path);
        if (now.exists && now != m_file) {
            // The search opens the file now in the path's place; the list reads from it alone.
            auto fresh = std::make_unique<RecordSearch>(path);
            m_model->clear();
            m_search = std::move(fresh);
            m_file = now;
            m_seenVersion = m_search->dataVersion();
            search(row);
        } else if (!txtFind->text().isEmpty() && m_search->dataVersion() != m_seenVersion) {
            search(row);
        }
    } catch (const std::exception&) {
        // Held by another program or half replaced: the next look tries again.
    }
}

QString FindWindow::damagedIndexText() {
    return QStringLiteral(
        "The search index of your records is damaged, so Find cannot be trusted with them. Your records "
        "themselves are not changed.\n"
        "The Database Utility's repair builds the index again: close the program with \"Exit\", answer Yes to "
        "\"Do you want to backup the Database ?\", then click \"Repair Database\" and \"Repair\".");
}

void FindWindow::offerRepair() {
    m_context.prompter.warn(damagedIndexText());
}

void FindWindow::focusSearchBox() {
    txtFind->setFocus();
    txtFind->selectAll();
}

int FindWindow::pageSize() const {
    // The whole height of the list, its heading included: never fewer rows than it shows.
    return lstResults->height() / lstResults->verticalHeader()->defaultSectionSize() + 2;
}

QString FindWindow::countsText(const QList<HitCount>& counts) {
    QStringList parts;
    qint64 total = 0;
    bool allExact = true;
    for (qsizetype t = 0; t < counts.size() && t < qsizetype(searchedTables().size()); ++t) {
        const HitCount& section = counts[t];
        total += section.count;
        allExact = allExact && section.exact;
        // A count the search stopped short of finishing is at least what it found.
        const QString count =
            section.count > RecordSearch::CountLimit ? QStringLiteral("%1+").arg(RecordSearch::CountLimit)
            : !section.exact ? (section.count > 0 ? QStringLiteral("%1+").arg(section.count) : QStringLiteral("?"))
                             : QString::number(section.count);
        parts << QStringLiteral("%1: %2").arg(searchedTables()[size_t(t)].section, count);
    }
    return total == 0 && allExact ? QStringLiteral("No record matches.") : parts.join(QStringLiteral("    "));
}

void FindWindow::search(int keepRow) {
    m_searchWanted = false;
    const SearchQuery query = SearchQuery::parse(txtFind->text());
    m_counter->stop();
    if (query.isEmpty()) {
        m_model->clear();
        lblCounts->clear();
        return;
    }
    try {
        const RecordSearch::Snapshot snapshot(*m_search);
        m_seenVersion = m_search->dataVersion();
        m_model->show(m_search.get(), query, pageSize(), keepRow + 1);
        const CountProgress counts = m_search->startCounts(query);
        showCounts(counts.counts);
        m_counter->start(m_search.get(), query, counts);
    } catch (const SearchIndexDamaged&) {
        lblCounts->setText(QStringLiteral("The search failed."));
        offerRepair();
        return;
    } catch (const StoreError& e) {
        lblCounts->setText(QStringLiteral("The search failed."));
        m_context.prompter.critical(e.message());
        return;
    }
    if (m_model->rowCount() > 0) {
        const QModelIndex current = m_model->index(std::min(keepRow, m_model->rowCount() - 1), 0);
        lstResults->setCurrentIndex(current);
        lstResults->scrollTo(current);
    }
}

void FindWindow::showCounts(const QList<HitCount>& counts) {
    lblCounts->setText(countsText(counts));
    const bool allExact = std::all_of(counts.begin(), counts.end(), [](const HitCount& c) { return c.exact; });
    lblCounts->setToolTip(allExact ? QString()
                                   : QStringLiteral("A count with \"+\" or \"?\" is still being looked for: "
                                                    "the list goes on filling."));
    fitLabelWithin(lblCounts, lstResults->width());
}

void FindWindow::searchNow() {
    if (m_searchWanted)
        search();
}

void FindWindow::showPicked() {
    searchNow();
    QModelIndex current = lstResults->currentIndex();
    if (!current.isValid())
        return;
    try {
        // Records changed since the list was made: it shows them as they are now
        // before anything is picked, so no record that has gone is shown.
        if (m_search->dataVersion() != m_seenVersion) {
            const SearchHit before = m_model->hit(current.row());
            search(current.row());
            current = lstResults->currentIndex();
            if (!current.isValid() || m_model->hit(current.row()).table != before.table ||
                m_model->hit(current.row()).key != before.key) {
                m_context.prompter.warn(
                    QStringLiteral("The records have changed. The list shows them as they are now."));
                return;
            }
        }
        const SearchHit hit = m_model->hit(current.row());
        const std::optional<Section> section = sectionOf(hit.table);
        RecordDisplay* display = recordDisplay(m_context.windows);
        if (!section || !display)
            return;
        if (!display->showRecord(*section, hit.key)) {
            m_context.prompter.warn(QStringLiteral("This record no longer exists."));
            search(current.row());
        }
    } catch (const StoreError& e) {
        m_context.prompter.critical(e.message());
    }
}

void FindWindow::escape() {
    if (txtFind->text().isEmpty()) {
        close();
        return;
    }
    txtFind->clear();
    search();
    txtFind->setFocus();
}

bool FindWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return AppWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return AppWindow::eventFilter(watched, event);
    switch (key->key()) {
    case Qt::Key_Escape:
        escape();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        showPicked();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Typing stays in the box while these keys move through the list.
        if (watched == txtFind) {
            searchNow();
            QApplication::sendEvent(lstResults, event);
            return true;
        }
        break;
    default:
        break;
    }
    return AppWindow::eventFilter(watched, event);
}

void FindWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        escape();
        return;
    }
    AppWindow::keyPressEvent(event);
}

void FindWindow::changeEvent(QEvent* event) {
    // Back from another window, where records may have changed: the list follows.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_search && !txtFind->text().isEmpty()) {
        try {
            if (m_search->dataVersion() != m_seenVersion)
                search(std::max(0, lstResults->currentIndex().row()));
        } catch (const StoreError&) {
            // The next search tells the user.
        }
    }
    AppWindow::changeEvent(event);
}

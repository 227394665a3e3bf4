#include "FindWindow.h"

#include "MatchDelegate.h"
#include "SearchResultModel.h"
#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "platform/Windows.h"
#include "search/RecordSearch.h"
#include "sections/RecordDisplay.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

namespace {

constexpr int RowHeight = 20;

// The section of each searched table.
const std::pair<const char*, Section> Sections[] = {
    {"account", Section::Passwords}, {"Credit Card", Section::CreditCards}, {"Personal", Section::Personal},
    {"Notes", Section::Notes},       {"Reminder", Section::Reminders},
};

Section sectionOf(const QString& table) {
    for (const auto& [name, section] : Sections) {
        if (table == QLatin1String(name))
            return section;
    }
    return Section::Passwords;
}

} // namespace

FindWindow::FindWindow(AppContext& context) : AppWindow(context, Name, nullptr, Qt::Window) {
    setWindowTitle(QStringLiteral("Find"));
    setClientSize(this, 9000, 6300);

    txtFind = makeBox(this, QStringLiteral("txtFind"), 120, 120, 8760, 345);
    txtFind->setAccessibleName(QStringLiteral("Find"));
    txtFind->setPlaceholderText(QStringLiteral("Type any part of a name, address, note or reminder"));
    txtFind->setClearButtonEnabled(false);

    lblCounts = makeLabel(this, QString(), 120, 540, 8760, 240);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));

    m_model = new SearchResultModel(this);
    lstResults = new QTableView(this);
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setAccessibleName(QStringLiteral("Records found"));
    place(lstResults, 120, 840, 8760, 5340);
    lstResults->setModel(m_model);
    lstResults->setItemDelegateForColumn(SearchResultModel::TextColumn, new MatchDelegate(lstResults));
    lstResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstResults->setSelectionMode(QAbstractItemView::SingleSelection);
    lstResults->setTabKeyNavigation(false);
    lstResults->setWordWrap(false);
    lstResults->verticalHeader()->hide();
    lstResults->verticalHeader()->setDefaultSectionSize(RowHeight);
    lstResults->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lstResults->horizontalHeader()->setStretchLastSection(true);
    lstResults->setColumnWidth(SearchResultModel::SectionColumn, twips(1200));
    lstResults->setColumnWidth(SearchResultModel::NameColumn, twips(2400));
    lstResults->setColumnWidth(SearchResultModel::FieldColumn, twips(1200));

    connect(txtFind, &QLineEdit::textChanged, this, [this] { search(); });
    connect(lstResults, &QTableView::doubleClicked, this, &FindWindow::showPicked);
    connect(m_model, &SearchResultModel::failed, this,
            [this](const QString& message) { m_context.prompter.critical(message); });
    txtFind->installEventFilter(this);
    lstResults->installEventFilter(this);
    setTabOrder(txtFind, lstResults);
    txtFind->setFocus();
    centerOnScreen(this);
}

FindWindow::~FindWindow() = default;

bool FindWindow::load() {
    try {
        m_search = std::make_unique<RecordSearch>(m_context.file(Schema::RecordDatabaseFile));
    } catch (const StoreError& e) {
        m_context.prompter.critical(e.message());
        return false;
    }
    return true;
}

int FindWindow::visibleRows() const {
    return std::max(10, lstResults->viewport()->height() / RowHeight + 1);
}

void FindWindow::search(int keepRow) {
    const SearchQuery query = SearchQuery::parse(txtFind->text());
    if (query.isEmpty()) {
        m_model->clear();
        lblCounts->clear();
        return;
    }
    try {
        m_seenVersion = m_search->dataVersion();
        m_model->show(m_search.get(), query, visibleRows());
        showCounts(m_search->counts(query));
    } catch (const StoreError& e) {
        lblCounts->setText(QStringLiteral("The search failed."));
        m_context.prompter.critical(e.message());
        return;
    }
    if (m_model->rowCount() > 0) {
        const int row = std::min(keepRow, m_model->rowCount() - 1);
        lstResults->setCurrentIndex(m_model->index(row, 0));
        lstResults->scrollTo(m_model->index(row, 0));
    }
}

void FindWindow::showCounts(const QList<qint64>& counts) {
    QStringList parts;
    qint64 total = 0;
    for (qsizetype t = 0; t < counts.size(); ++t) {
        total += counts[t];
        const QString count = counts[t] > RecordSearch::CountLimit
                                  ? QStringLiteral("more than %1").arg(RecordSearch::CountLimit)
                                  : QString::number(counts[t]);
        parts << QStringLiteral("%1: %2").arg(searchedTables()[size_t(t)].section, count);
    }
    lblCounts->setText(total == 0 ? QStringLiteral("No record matches.") : parts.join(QStringLiteral("    ")));
}

void FindWindow::showPicked() {
    const QModelIndex current = lstResults->currentIndex();
    if (!current.isValid())
        return;
    const SearchHit hit = m_model->hit(current.row());
    RecordDisplay* display = nullptr;
    for (AppWindow* window : m_context.windows.openWindows()) {
        if (auto* candidate = dynamic_cast<RecordDisplay*>(window))
            display = candidate;
    }
    if (!display)
        return;
    if (!display->showRecord(sectionOf(hit.table), hit.key)) {
        m_context.prompter.warn(QStringLiteral("This record no longer exists."));
        search(current.row());
    }
}

bool FindWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return AppWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Escape:
        // The first Escape clears the box, the next one closes the window.
        if (txtFind->text().isEmpty()) {
            close();
        } else {
            txtFind->clear();
            txtFind->setFocus();
        }
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        showPicked();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Typing stays in the box while the keys move through the list.
        if (watched == txtFind) {
            QApplication::sendEvent(lstResults, event);
            return true;
        }
        break;
    }
    return AppWindow::eventFilter(watched, event);
}

void FindWindow::changeEvent(QEvent* event) {
    // Back from another window, where records may have changed: the list follows.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_search && !txtFind->text().isEmpty()) {
        try {
            if (m_search->dataVersion() != m_seenVersion)
                search(std::max(0, lstResults->currentIndex().row()));
        } catch (const StoreError&) {
            // The next keystroke reports it.
        }
    }
    AppWindow::changeEvent(event);
}

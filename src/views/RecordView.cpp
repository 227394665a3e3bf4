#include "RecordView.h"

#include "store/BinderModel.h"
#include "store/DataBinder.h"
#include "store/StoreError.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QWheelEvent>

namespace {

// Every line of a list as high as a line of the list's own font: a text in a
// script the font lacks would otherwise make its line higher, and the number of
// lines that fill the list would change as the list scrolls.
class LineDelegate : public QStyledItemDelegate {
public:
    explicit LineDelegate(QAbstractItemView* view) : QStyledItemDelegate(view) {
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.features = QStyleOptionViewItem::HasDisplay;
        option.text = QStringLiteral("Xg");
        m_height = view->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), view).height();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), m_height};
    }

private:
    int m_height = 0;
};

} // namespace

RecordView::RecordView(QAbstractItemView* view, BinderModel* model, DataBinder& binder)
    : QObject(view), m_view(view), m_model(model), m_binder(binder) {
    view->setModel(model);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A list's width follows the widest line in view: a scroll bar shown as needed
    // would come and go as the window of rows moves, resizing the list each time.
    // A line wider than the list is clipped; its full text shows in its tooltip.
    if (qobject_cast<QListView*>(view)) {
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setItemDelegate(new LineDelegate(view));
    }
    // Tab and Shift+Tab move on to the next control; the arrow keys move between records.
    view->setTabKeyNavigation(false);
    // The scroll bar takes the right edge of the place the view was given.
    m_bar = new QScrollBar(Qt::Vertical, view->parentWidget());
    m_bar->setObjectName(view->objectName() + QStringLiteral("ScrollBar"));
    const int width = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QRect place = view->geometry();
    view->setGeometry(place.adjusted(0, 0, -width, 0));
    m_bar->setGeometry(place.right() - width + 1, place.top(), width, place.height());

    m_viewport = view->viewport();
    // A resize is answered once the view's own layout has ended: answering it
    // inside that layout would lay the view out again from within itself.
    m_resized = new QTimer(this);
    m_resized->setSingleShot(true);
    m_resized->setInterval(0);
    connect(m_resized, &QTimer::timeout, this, &RecordView::updateWindow);
    view->installEventFilter(this);
    m_viewport->installEventFilter(this);
    connect(m_bar, &QScrollBar::valueChanged, this, [this](int value) {
        m_model->setWindow(value, visibleRows() + 1);
        selectCurrent();
    });
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (m_selecting || !current.isValid())
            return;
        const RecordKey key = m_binder.keyAt(m_model->windowOffset() + current.row());
        if (key != NoRecord && key != m_binder.Bookmark()) {
            // The view is still handling the click: it selects the row it was given
            // once this returns, so scrolling now would leave another record selected.
            m_picking = true;
            try {
                m_binder.setBookmark(key);
            } catch (const StoreError&) {
                // The record is gone from the snapshot: nothing to show.
            }
            m_picking = false;
        }
    });
    connect(&binder, &DataBinder::keysChanged, this, &RecordView::updateWindow);
    connect(&binder, &DataBinder::currentChanged, this, &RecordView::showCurrent);
    connect(&binder, &DataBinder::keysChanged, this, &RecordView::showCurrent);
    updateWindow();
}

int RecordView::visibleRows() const {
    int rowHeight = 0;
    if (auto* table = qobject_cast<QTableView*>(m_view))
        rowHeight = table->verticalHeader()->defaultSectionSize();
    else if (m_model->rowCount() > 0)
        rowHeight = m_view->sizeHintForRow(0);
    if (rowHeight <= 0)
        rowHeight = m_view->fontMetrics().height() + 2;
    return std::max(1, m_view->viewport()->height() / rowHeight);
}

void RecordView::updateWindow() {
    const int rows = visibleRows();
    const QSignalBlocker quiet(m_bar);
    m_bar->setRange(0, int(std::min<qint64>(std::max<qint64>(0, m_model->recordCount() - rows), INT_MAX)));
    m_bar->setPageStep(rows);
    m_model->setWindow(m_bar->value(), rows + 1);
    selectCurrent();
}

void RecordView::showCurrent() {
    if (m_picking) {
        QMetaObject::invokeMethod(this, &RecordView::showCurrent, Qt::QueuedConnection);
        return;
    }
    const qint64 position = m_binder.AbsolutePosition();
    const int rows = visibleRows();
    if (position >= 0 && (position < m_model->windowOffset() || position >= m_model->windowOffset() + rows)) {
        // Scrolling brings the record into view; the scroll bar's signal comes back here.
        const qint64 offset = position < m_model->windowOffset() ? position : position - rows + 1;
        if (m_bar->value() != offset) {
            m_bar->setValue(int(std::min<qint64>(offset, INT_MAX)));
            return;
        }
    }
    selectCurrent();
}

void RecordView::selectCurrent() {
    const qint64 position = m_binder.AbsolutePosition();
    m_selecting = true;
    QItemSelectionModel* selection = m_view->selectionModel();
    const qint64 row = position - m_model->windowOffset();
    if (position >= 0 && row >= 0 && row < m_model->rowCount()) {
        const QModelIndex index = m_model->index(int(row), std::max(0, m_view->currentIndex().column()));
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        selection->clear();
    }
    m_view->verticalScrollBar()->setValue(0);
    m_selecting = false;
}

void RecordView::moveBy(qint64 step) {
    const qint64 count = m_binder.RecordCount();
    if (count == 0)
        return;
    qint64 position = m_binder.AbsolutePosition();
    if (position < 0)
        position = m_model->windowOffset();
    position = std::clamp<qint64>(position + step, 0, count - 1);
    try {
        m_binder.setBookmark(m_binder.keyAt(position));
    } catch (const StoreError&) {
    }
}

bool RecordView::eventFilter(QObject* watched, QEvent* event) {
    // Compared by address only: while the view is destroyed it is no scroll area any more.
    if (watched == m_viewport && event->type() == QEvent::Wheel) {
        QApplication::sendEvent(m_bar, event);
        return true;
    }
    if (watched == m_viewport && event->type() == QEvent::Resize) {
        m_resized->start();
        return false;
    }
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const int rows = visibleRows();
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
            moveBy(-1);
            return true;
        case Qt::Key_Down:
            moveBy(1);
            return true;
        case Qt::Key_PageUp:
            moveBy(-rows);
            return true;
        case Qt::Key_PageDown:
            moveBy(rows);
            return true;
        case Qt::Key_Home:
            moveBy(-m_binder.RecordCount());
            return true;
        case Qt::Key_End:
            moveBy(m_binder.RecordCount());
            return true;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

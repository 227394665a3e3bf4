#pragma once

#include <QObject>

class BinderModel;
class DataBinder;
class QAbstractItemView;
class QScrollBar;
class QTimer;

// Shows a binder's records in a grid or list that holds a screenful of rows
// whatever the size of the table: the model shows a window of records and a
// scroll bar of its own moves the window. Picking a row sets the binder's
// bookmark; a move of the binder brings its record into view and selects it.
class RecordView : public QObject {
    Q_OBJECT
public:
    RecordView(QAbstractItemView* view, BinderModel* model, DataBinder& binder);
    QScrollBar* scrollBar() const { return m_bar; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int visibleRows() const;
    void updateWindow();
    // Scrolls the binder's record into view, then selects it.
    void showCurrent();
    // Selects the binder's record where the window shows it; clears the selection elsewhere.
    void selectCurrent();
    void moveBy(qint64 step);

    QAbstractItemView* m_view;
    BinderModel* m_model;
    DataBinder& m_binder;
    QScrollBar* m_bar;
    QObject* m_viewport = nullptr;
    QTimer* m_resized = nullptr;
    bool m_selecting = false;
    bool m_picking = false; // the user picked a row of the view itself
};

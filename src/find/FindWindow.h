#pragma once

#include "platform/AppWindow.h"

#include <memory>

class QLabel;
class QLineEdit;
class QTableView;
class RecordSearch;
class SearchResultModel;

// Finds records of all five sections as the user types and shows the one
// picked in the main window. One instance, no owner, not modal; it stays open
// so the user can pick another.
class FindWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmFind");
    explicit FindWindow(AppContext& context);
    ~FindWindow() override;
    bool load() override;

    QLineEdit* txtFind;
    QLabel* lblCounts;
    QTableView* lstResults;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Runs the box's query; keeps the given row current where it still exists.
    void search(int keepRow = 0);
    void showPicked();
    void showCounts(const QList<qint64>& counts);
    int visibleRows() const;

    std::unique_ptr<RecordSearch> m_search;
    SearchResultModel* m_model;
    qint64 m_seenVersion = -1;
};

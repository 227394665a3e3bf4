#pragma once

#include "platform/AppWindow.h"
#include "store/FileIdentity.h"

#include <memory>

class QLabel;
class QLineEdit;
class QTableView;
class RecordSearch;
class HitCounter;
class SearchResultModel;
struct HitCount;

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

    // Puts the keyboard in the search box with its text selected, so typing replaces it.
    void focusSearchBox();
    // The rows the list reads at a time: a little more than it shows.
    int pageSize() const;
    // The counts line for hits per section, in the order of the searched tables.
    static QString countsText(const QList<HitCount>& counts);
    // What the user is told when the search index is found damaged.
    static QString damagedIndexText();

    QLabel* lblFind;
    QLineEdit* txtFind;
    QLabel* lblCounts;
    QTableView* lstResults;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Runs the box's query; the given row stays current where it still exists.
    void search(int keepRow = 0);
    // Runs a search the box is still waiting for, so the list shows what was typed.
    void searchNow();
    void showPicked();
    // Tells that the index is damaged and where the repair is, in place of SQLite's words.
    void offerRepair();
    // Escape: the first clears the box, the next one closes the window.
    void escape();
    // Shows the counts, with a word on those still being looked for.
    void showCounts(const QList<HitCount>& counts);
    // Another program changed or replaced the file: the list shows it as it is now.
    void followFile();

    std::unique_ptr<RecordSearch> m_search;
    SearchResultModel* m_model;
    HitCounter* m_counter;
    bool m_searchWanted = false; // the box changed since its last search
    qint64 m_seenVersion = -1;
    FileIdentity m_file; // the file the search has open
};

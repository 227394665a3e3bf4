#pragma once

#include "EditorDescription.h"
#include "platform/AppWindow.h"
#include "store/DataBinder.h"

#include <QPointer>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The editor window of a section: binds its boxes to its own binder, which the
// opening command has given a pending record, and saves or drops that record.
class RecordEditor : public AppWindow {
    Q_OBJECT
public:
    // mainBinder is the main window's binder of the same table, refreshed on save.
    RecordEditor(AppContext& context, const EditorDescription& description, DataBinder* mainBinder);
    bool load() override;

    DataBinder* Data1;
    QLabel* header;
    QGroupBox* frame;
    QPushButton* cmdSave;
    QPushButton* cmdCancel;
    QPushButton* cmdGenerate = nullptr;

    // Starts a new, empty pending record.
    void beginAdd();
    // Makes the record with this key current and starts changing it.
    void beginEdit(RecordKey key);
    void setHeaderCaption(const QString& caption);
    // The box of this name, for the commands that set focus or text.
    QWidget* box(const QString& name) const;
    QString boxText(const QString& name) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void save();
    void saveOver(DataBinder::SaveOver over);
    // Another program saved the record after this editor opened it: the user decides whose version stays.
    void settleChangedElsewhere();
    void cancel();
    // Shows the record in the main window (refreshed, since it may have changed meanwhile).
    void showRecord(RecordKey key);
    void openGenerator();

    const EditorDescription& m_description;
    QPointer<DataBinder> m_mainBinder;
};

#include "RecordEditor.h"

#include "generator/GeneratorWindow.h"
#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "platform/Windows.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "views/BoxBinding.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <limits>

namespace {

const QString GuardMessage = QStringLiteral("There is a Problem with the Data that you have entered.\n"
                                            "It could be that the website address is too long.");

// leftBound: where the label may begin (after a box earlier on the same row).
QWidget* makeEditorBox(QWidget* frame, const EditorBox& layout, DataBinder& binder, int leftBound) {
    QWidget* widget = nullptr;
    switch (layout.kind) {
    case EditorBox::Line: {
        QLineEdit* line = makeBox(frame, layout.name, layout.left, layout.top, layout.width, layout.height);
        bindBox(binder, line, layout.field);
        widget = line;
        break;
    }
    case EditorBox::Lines: {
        QPlainTextEdit* lines = makeTextArea(frame, layout.name, layout.left, layout.top, layout.width, layout.height);
        bindBox(binder, lines, layout.field);
        widget = lines;
        break;
    }
    case EditorBox::Choice: {
        auto* combo = new QComboBox(frame);
        combo->setObjectName(layout.name);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems(layout.items);
        combo->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
        place(combo, layout.left, layout.top, layout.width, layout.height);
        bindBox(binder, combo, layout.field);
        widget = combo;
        break;
    }
    }
    if (layout.blue) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Text, Qt::blue);
        widget->setPalette(palette);
    }
    if (!layout.label.isEmpty()) {
        const int width = std::min(1500, layout.labelRight - leftBound);
        QLabel* label = makeLabel(frame, layout.label, layout.labelRight - width, layout.top + 60, width, 195,
                                  Qt::AlignRight | Qt::AlignVCenter);
        // Screen readers name the box by its label, not by the frame around it.
        label->setBuddy(widget);
    }
    if (!layout.spoken.isEmpty())
        widget->setAccessibleName(layout.spoken);
    return widget;
}

} // namespace

RecordEditor::RecordEditor(AppContext& context, const EditorDescription& description, DataBinder* mainBinder)
    : AppWindow(context, description.windowName), m_description(description), m_mainBinder(mainBinder) {
    setWindowTitle(description.windowCaption);
    setLightBlueBackground(this);
    setClientSize(this, description.clientWidth, description.clientHeight);
    Data1 = new DataBinder(this);
    Data1->setObjectName(QStringLiteral("Data1"));

    auto* band = new QWidget(this);
    band->setObjectName(QStringLiteral("headerBand"));
    place(band, 0, 0, description.clientWidth, 720);
    band->setAutoFillBackground(true);
    QPalette bandPalette = band->palette();
    bandPalette.setColor(QPalette::Window, QColor(58, 110, 165));
    band->setPalette(bandPalette);
    makePicture(band, QStringLiteral("headerPicture"), QStringLiteral("key"), 120, 120, 480, 480);
    header = makeLabel(band, description.addingCaption, 720, 180, description.clientWidth - 840, 375);
    header->setObjectName(description.headerControl);
    QFont headerFont = header->font();
    headerFont.setBold(true);
    headerFont.setPointSizeF(12);
    header->setFont(headerFont);
    if (description.headerColour.isValid()) {
        QPalette palette = header->palette();
        palette.setColor(QPalette::WindowText, description.headerColour);
        header->setPalette(palette);
    }

    frame = makeFrame(this, QStringLiteral("frame"), description.frameCaption, 120, 840, description.clientWidth - 240,
                      description.frameHeight);
    QWidget* previous = nullptr;
    const EditorBox* before = nullptr;
    for (const EditorBox& layout : description.boxes) {
        const int leftBound = before && before->top == layout.top ? before->left + before->width + 60 : 60;
        before = &layout;
        QWidget* widget = makeEditorBox(frame, layout, *Data1, leftBound);
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
        if (description.canGenerate && layout.field == QStringLiteral("Password")) {
            cmdGenerate = makeButton(frame, QStringLiteral("cmdGenerate"), QStringLiteral("Generate"),
                                     QStringLiteral(" Create a Password  "), layout.left + layout.width + 120,
                                     layout.top - 30, 1380, 375);
            setTabOrder(previous, cmdGenerate);
            previous = cmdGenerate;
            connect(cmdGenerate, &QPushButton::clicked, this, &RecordEditor::openGenerator);
        }
    }
    if (!description.extraHeading.isEmpty()) {
        QLabel* heading =
            makeLabel(frame, description.extraHeading, description.extraHeadingLeft, description.extraHeadingTop);
        QFont font = heading->font();
        font.setBold(true);
        font.setUnderline(true);
        heading->setFont(font);
        heading->adjustSize();
    }

    const int buttonsTop = 840 + description.frameHeight + 120;
    const int middle = description.clientWidth / 2;
    cmdCancel = makeButton(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"),
                           QStringLiteral(" Do not Save  "), middle - 1335 - 120, buttonsTop, 1335, 390);
    cmdSave = makeButton(this, QStringLiteral("cmdSave"), QStringLiteral("Save"), QStringLiteral(" Save Information  "),
                         middle + 120, buttonsTop, 1335, 390);
    setTabOrder(previous, cmdCancel);
    setTabOrder(cmdCancel, cmdSave);
    connect(cmdSave, &QPushButton::clicked, this, &RecordEditor::save);
    connect(cmdCancel, &QPushButton::clicked, this, &RecordEditor::cancel);
    centerOnScreen(this);
}

bool RecordEditor::load() {
    Data1->setDatabaseName(m_context.file(Schema::RecordDatabaseFile));
    Data1->setRecordSource(m_description.table);
    Data1->setRecordsetType(0);
    QStringList fields;
    for (const EditorBox& layout : m_description.boxes)
        fields << layout.field;
    Data1->setRequiredFields(fields);
    if (const std::optional<QString> failure = Data1->tryOpen()) {
        m_context.prompter.critical(*failure);
        return false;
    }
    // The record shown follows changes other programs make; what the user types stays.
    Data1->setFollowInterval(DataBinder::FollowIntervalMs);
    return true;
}

QWidget* RecordEditor::box(const QString& name) const {
    return findChild<QWidget*>(name);
}

QString RecordEditor::boxText(const QString& name) const {
    QWidget* widget = box(name);
    if (auto* line = qobject_cast<QLineEdit*>(widget))
        return line->text();
    if (auto* lines = qobject_cast<QPlainTextEdit*>(widget))
        return lines->toPlainText();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    return {};
}

void RecordEditor::setHeaderCaption(const QString& caption) {
    header->setText(caption);
}

void RecordEditor::beginAdd() {
    Data1->AddNew();
}

void RecordEditor::beginEdit(RecordKey key) {
    // The record may be newer than this editor's snapshot of the table.
    if (Data1->positionOf(key) < 0)
        Data1->Refresh();
    Data1->setBookmark(key);
    Data1->Edit();
}

void RecordEditor::save() {
    for (const RequiredBox& required : m_description.required) {
        if (boxText(required.box).isEmpty()) {
            m_context.prompter.warn(required.message);
            box(required.box)->setFocus();
            return;
        }
    }
    saveOver(DataBinder::SaveOver::Checked);
}

void RecordEditor::saveOver(DataBinder::SaveOver over) {
    try {
        Data1->Update(over);
    } catch (const StoreError& e) {
        if (e.reason() == StoreError::Reason::ChangedElsewhere) {
            settleChangedElsewhere();
            return;
        }
        // The window and what was typed stay; the user may try again or cancel. The
        // guard's message is about a refused value: a known other reason is told as it is.
        const bool refusedValue =
            e.reason() == StoreError::Reason::RefusedValue || e.reason() == StoreError::Reason::Unknown;
        m_context.prompter.critical(m_description.errorGuard && refusedValue
                                        ? GuardMessage
                                        : QStringLiteral("The record has not been saved.\n") + e.message());
        return;
    }
    showRecord(Data1->LastModified());
    close();
}

void RecordEditor::settleChangedElsewhere() {
    enum Choice { KeepMine, KeepTheirs, KeepBoth };
    const int choice = m_context.prompter.choose(
        QStringLiteral("Another program changed this record after you opened it.\n\n"
                       "Keep Mine saves your changes over theirs. Keep Theirs keeps the other program's version "
                       "and drops your changes. Keep Both saves your version as a new record beside it."),
        {QStringLiteral("Keep Mine"), QStringLiteral("Keep Theirs"), QStringLiteral("Keep Both"),
         QStringLiteral("Cancel")});
    switch (choice) {
    case KeepMine:
        saveOver(DataBinder::SaveOver::Overwrite);
        break;
    case KeepBoth:
        saveOver(DataBinder::SaveOver::AsNewRecord);
        break;
    case KeepTheirs: {
        const RecordKey theirs = Data1->Bookmark();
        Data1->CancelUpdate();
        showRecord(theirs);
        close();
        break;
    }
    default: // Cancel: back to the editor, with what was typed
        break;
    }
}

void RecordEditor::showRecord(RecordKey key) {
    if (!m_mainBinder)
        return;
    try {
        m_mainBinder->Refresh();
        m_mainBinder->setBookmark(key);
    } catch (const StoreError& e) {
        m_context.prompter.critical(e.message());
    }
}

void RecordEditor::cancel() {
    Data1->CancelUpdate();
    close();
}

void RecordEditor::closeEvent(QCloseEvent* event) {
    // Closed by its frame the editor drops its pending record, as Cancel does.
    if (Data1->isPending())
        Data1->CancelUpdate();
    AppWindow::closeEvent(event);
}

void RecordEditor::openGenerator() {
    auto* password = qobject_cast<QLineEdit*>(box(QStringLiteral("Text4")));
    if (auto* generator = m_context.windows.show<GeneratorWindow>(m_context, password))
        generator->setTarget(password);
}

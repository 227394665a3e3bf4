#include "NotesPanel.h"

#include "CommandButtons.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "store/BinderModel.h"
#include "views/BoxBinding.h"
#include "views/RecordView.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>

NotesPanel::NotesPanel(QWidget* parent, DataBinder& DatNotes) : QWidget(parent) {
    setObjectName(QStringLiteral("PicNotes"));

    jcFrames3 = makeFrame(this, QStringLiteral("jcFrames3"), QStringLiteral("Select Note"), 60, 60, 2295, 2115);
    DBList1 = new QListView(jcFrames3);
    DBList1->setObjectName(QStringLiteral("DBList1"));
    DBList1->setAccessibleName(QStringLiteral("Notes"));
    place(DBList1, 45, 360, 2175, 1620);
    new RecordView(DBList1, new BinderModel(DatNotes, {{"Title", "Subject"}}, DBList1), DatNotes);
    DBList1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBList1->setUniformItemSizes(true);
    // Each line is one record: two notes with the same subject are told apart by place.

    jcFrames4 = makeFrame(this, QStringLiteral("jcFrames4"), QStringLiteral("Note Details"), 2400, 60, 6315, 4695);
    QLabel* subject =
        makeLabel(jcFrames4, QStringLiteral("Subject:"), 180, 420, 720, 195, Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = subject->font();
    bold.setBold(true);
    subject->setFont(bold);
    fitLabel(subject);
    Text7 = makeBox(jcFrames4, QStringLiteral("Text7"), 960, 360, 5235, 315, true);
    subject->setBuddy(Text7); // screen readers name the box by its label
    Text6 = makeTextArea(jcFrames4, QStringLiteral("Text6"), 120, 780, 6075, 3795, true);
    bindBox(DatNotes, Text7, QStringLiteral("Title"));
    bindBox(DatNotes, Text6, QStringLiteral("Note"));

    jcFrames5 = makeFrame(this, QStringLiteral("jcFrames5"), QStringLiteral("Menu"), 60, 2280, 2295, 2475);
    makeCommandButton(jcFrames5, QStringLiteral("cmdNewnote"), 180, 420, 1935, 390);
    makeCommandButton(jcFrames5, QStringLiteral("cmdEditnote"), 180, 900, 1935, 390);
    makeCommandButton(jcFrames5, QStringLiteral("cmdDeletenote"), 180, 1380, 1935, 390);
    makeCommandButton(jcFrames5, QStringLiteral("cmdPrintnote"), 180, 1860, 1935, 390);
}

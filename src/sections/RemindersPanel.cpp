#include "RemindersPanel.h"

#include "CommandButtons.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "store/BinderModel.h"
#include "views/BoxBinding.h"
#include "views/RecordView.h"

#include <QCalendarWidget>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

namespace {
constexpr int CaptionHeight = 300; // twips
} // namespace

RemindersPanel::RemindersPanel(QWidget* parent, DataBinder& DatReminders) : QWidget(parent) {
    setObjectName(QStringLiteral("Pictodo"));

    jcFrames1 =
        makeFrame(this, QStringLiteral("jcFrames1"), QStringLiteral("Click Date to add Reminder"), 60, 60, 2835, 2775);
    MonthView1 = new QCalendarWidget(jcFrames1);
    MonthView1->setObjectName(QStringLiteral("MonthView1"));
    MonthView1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    MonthView1->setGridVisible(false);
    MonthView1->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    place(MonthView1, 60, 315, 2700, 2370);
    connect(MonthView1, &QCalendarWidget::clicked, this, &RemindersPanel::dayClicked);

    // The grid's caption is a bar across its top, above the column headings.
    const QString caption = QStringLiteral("To Do List");
    QLabel* captionBar = makeLabel(this, caption, 2940, 60, 5775, CaptionHeight, Qt::AlignCenter);
    captionBar->setObjectName(QStringLiteral("DBGrid2Caption"));
    captionBar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    captionBar->setBackgroundRole(QPalette::Button);
    captionBar->setAutoFillBackground(true);
    QFont bold = captionBar->font();
    bold.setBold(true);
    captionBar->setFont(bold);
    place(captionBar, 2940, 60, 5775, CaptionHeight);
    DBGrid2 = new QTableView(this);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setAccessibleName(caption);
    captionBar->setBuddy(DBGrid2);
    place(DBGrid2, 2940, 60 + CaptionHeight, 5775, 2760 - CaptionHeight);
    new RecordView(DBGrid2, new BinderModel(DatReminders, {{"Date", "Date"}, {"Reminder", "Reminder"}}, DBGrid2),
                   DatReminders);
    DBGrid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid2->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid2->verticalHeader()->setDefaultSectionSize(20);
    DBGrid2->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid2->horizontalHeader()->setStretchLastSection(true);
    DBGrid2->setColumnWidth(0, twips(1500));

    jcFrames7 = makeFrame(this, QStringLiteral("jcFrames7"), QStringLiteral("Reminder"), 2940, 2880, 5775, 1875);
    QLabel* date =
        makeLabel(jcFrames7, QStringLiteral("Date:"), 1140, 120, 960, 195, Qt::AlignRight | Qt::AlignVCenter);
    Text8 = makeBox(jcFrames7, QStringLiteral("Text8"), 2160, 60, 1935, 315, true);
    date->setBuddy(Text8); // screen readers name the box by its label
    Text9 = makeTextArea(jcFrames7, QStringLiteral("Text9"), 180, 540, 5415, 1155, true);
    bindBox(DatReminders, Text8, QStringLiteral("Date"));
    bindBox(DatReminders, Text9, QStringLiteral("Reminder"));

    jcFrames6 = makeFrame(this, QStringLiteral("jcFrames6"), QStringLiteral("Menu"), 60, 2880, 2835, 1875);
    makeCommandButton(jcFrames6, QStringLiteral("cmdEditreminder"), 180, 360, 2355, 390);
    makeCommandButton(jcFrames6, QStringLiteral("cmdDeletereminder"), 180, 840, 2355, 390);
    makeCommandButton(jcFrames6, QStringLiteral("cmdPrintreminder"), 180, 1320, 2355, 390);
}

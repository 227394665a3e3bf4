#include "PasswordPanel.h"

#include "CommandButtons.h"
#include "CopyField.h"
#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "store/BinderModel.h"
#include "views/BoxBinding.h"
#include "views/RecordView.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

namespace {
const QColor DarkRed(192, 0, 0);

void colourText(QWidget* box, const QColor& colour) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::WindowText, colour);
    box->setPalette(palette);
}

QLabel* rowLabel(QWidget* frame, const QString& text, int top) {
    QLabel* label = makeLabel(frame, text, 1680, top + 60, 1500, 195, Qt::AlignRight | Qt::AlignVCenter);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    fitLabel(label);
    return label;
}
} // namespace

PasswordPanel::PasswordPanel(QWidget* parent, AppContext& context, DataBinder& DatPassword)
    : QWidget(parent), m_context(context) {
    setObjectName(QStringLiteral("PicPassword"));

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Passwords"));
    place(DBGrid1, 60, 60, 8655, 2055);
    new RecordView(DBGrid1,
                   new BinderModel(DatPassword,
                                   {{"Account", "Account"}, {"User", "User Name"}, {"Password", "Password"}}, DBGrid1),
                   DatPassword);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(20);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    QFont headerFont = DBGrid1->horizontalHeader()->font();
    headerFont.setBold(true);
    DBGrid1->horizontalHeader()->setFont(headerFont);
    DBGrid1->setColumnWidth(0, twips(3000));
    DBGrid1->setColumnWidth(1, twips(2600));

    jcFrames2 = makeFrame(this, QStringLiteral("jcFrames2"), QStringLiteral("Password Details"), 60, 2160, 8655, 2625);
    QLabel* labels[] = {
        rowLabel(jcFrames2, QStringLiteral("Account Name:"), 120), rowLabel(jcFrames2, QStringLiteral("Website:"), 480),
        rowLabel(jcFrames2, QStringLiteral("User Name:"), 840), rowLabel(jcFrames2, QStringLiteral("Password:"), 1200),
        rowLabel(jcFrames2, QStringLiteral("Remarks:"), 1560)};
    colourText(labels[2], DarkRed);
    colourText(labels[3], DarkRed);

    Text1 = makeBox(jcFrames2, QStringLiteral("Text1"), 3240, 120, 4395, 315, true);
    Text2 = makeBox(jcFrames2, QStringLiteral("Text2"), 3240, 480, 4395, 315, true);
    Text3 = makeBox(jcFrames2, QStringLiteral("Text3"), 3240, 840, 4395, 315, true);
    Text4 = makeBox(jcFrames2, QStringLiteral("Text4"), 3240, 1200, 4395, 315, true);
    Text5 = makeTextArea(jcFrames2, QStringLiteral("Text5"), 3240, 1560, 4395, 975, true);
    colourText(Text2, Qt::blue);
    colourText(Text3, DarkRed);
    colourText(Text4, DarkRed);
    // Screen readers name each box by its label, not by the frame around it.
    QWidget* boxes[] = {Text1, Text2, Text3, Text4, Text5};
    for (int i = 0; i < 5; ++i)
        labels[i]->setBuddy(boxes[i]);
    bindBox(DatPassword, Text1, QStringLiteral("Account"));
    bindBox(DatPassword, Text2, QStringLiteral("Website"));
    bindBox(DatPassword, Text3, QStringLiteral("User"));
    bindBox(DatPassword, Text4, QStringLiteral("Password"));
    bindBox(DatPassword, Text5, QStringLiteral("Notes"));

    const QString copyTip = QStringLiteral(" Copy to Clipboard ");
    cmdAccount = makePictureButton(jcFrames2, QStringLiteral("cmdAccount"), "copy", copyTip, 7680, 120, 495, 315);
    cmdWebsite = makePictureButton(jcFrames2, QStringLiteral("cmdWebsite"), "website",
                                   QStringLiteral(" Go to Website "), 7680, 480, 495, 315);
    cmdUser = makePictureButton(jcFrames2, QStringLiteral("cmdUser"), "copy", copyTip, 7680, 840, 495, 315);
    cmdPasswrd = makePictureButton(jcFrames2, QStringLiteral("cmdPasswrd"), "copy", copyTip, 7680, 1200, 495, 315);
    cmdRemarks = makePictureButton(jcFrames2, QStringLiteral("cmdRemarks"), "copy",
                                   QStringLiteral(" Copy Remarks to Clipboard "), 7680, 1560, 495, 315);
    // The three buttons share a tooltip; a screen reader says what each copies.
    cmdAccount->setAccessibleName(QStringLiteral("Copy Account Name to Clipboard"));
    cmdUser->setAccessibleName(QStringLiteral("Copy User Name to Clipboard"));
    cmdPasswrd->setAccessibleName(QStringLiteral("Copy Password to Clipboard"));

    cmdNew = makeCommandButton(jcFrames2, QStringLiteral("cmdNew"), 120, 480, 1515, 390);
    cmdEdit = makeCommandButton(jcFrames2, QStringLiteral("cmdEdit"), 120, 960, 1515, 390);
    cmdDelete = makeCommandButton(jcFrames2, QStringLiteral("cmdDelete"), 120, 1440, 1515, 390);
    cmdPrint = makeCommandButton(jcFrames2, QStringLiteral("cmdPrint"), 120, 1920, 1515, 390);

    const std::pair<QToolButton*, std::function<QString()>> copies[] = {
        {cmdAccount, [this] { return Text1->text(); }},
        {cmdUser, [this] { return Text3->text(); }},
        {cmdPasswrd, [this] { return Text4->text(); }},
        {cmdRemarks, [this] { return Text5->toPlainText(); }},
    };
    for (const auto& copy : copies) {
        const std::function<QString()> read = copy.second;
        connect(copy.first, &QToolButton::clicked, this, [this, read] { copyField(m_context, read(), window()); });
    }
    connect(cmdWebsite, &QToolButton::clicked, this, &PasswordPanel::openWebsite);
}

void PasswordPanel::openWebsite() {
    const QString address = Text2->text();
    if (address.isEmpty()) {
        m_context.prompter.warn(QStringLiteral("There is no Website listed."));
        return;
    }
    m_context.browser.open(address);
}

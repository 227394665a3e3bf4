#include "PersonalPanel.h"

#include "CommandButtons.h"
#include "CopyField.h"
#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "store/DataBinder.h"
#include "store/StoreError.h"
#include "views/BoxBinding.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

// One locked box with its label and, where it has one, its copy button.
struct FieldRow {
    const char* label;
    int labelLeft;
    int labelTop; // -1: 60 below the box's top
    const char* box;
    const char* field;
    int left, top, width;
    const char* copyButton;       // nullptr: none
    const char* spoken = nullptr; // what a screen reader calls the box where its label is shared; nullptr: the label
};

// What a screen reader calls the box: its own spoken name, else its label without the colon.
QString spokenName(const FieldRow& row) {
    return row.spoken ? QString::fromUtf8(row.spoken) : QString::fromUtf8(row.label).remove(QLatin1Char(':'));
}

const FieldRow PersonRows[] = {
    {"Name:", 180, -1, "Text10", "Full Name", 960, 360, 2715, "PowerButton1"},
    {"Address:", 180, -1, "Text11", "Address", 960, 780, 2715, "PowerButton2", "Address"},
    {"Address:", 180, -1, "Text12", "Address1", 960, 1200, 2715, "PowerButton4", "Address, second line"},
    {"City:", 180, -1, "Text13", "City", 960, 1620, 2715, "PowerButton5"},
    {"State:", 180, -1, "Text14", "State", 960, 2040, 615, nullptr},
    {"Zip Code:", 1800, -1, "Text15", "Zip", 2520, 2040, 1155, nullptr},
    {"Email:", 180, -1, "Text16", "Email", 960, 2460, 2715, "PowerButton6"},
};

const FieldRow CardRows[] = {
    {"Card Type:", 120, 420, "Text17", "Type Card", 960, 360, 2715, "PowerButton8"},
    {"Account #", 120, 840, "Text18", "Card Number", 960, 780, 2715, "PowerButton9"},
    {"Card Security Code:", 1380, 1260, "Text28", "Security Code", 2880, 1200, 795, "PowerButton10"},
    {"Month:", 420, 2100, "Text19", "Month", 960, 2040, 735, nullptr},
    {"Year:", 2280, 2100, "Text20", "Year", 2700, 2040, 975, nullptr},
};

const FieldRow BankRows[] = {
    {"Bank Name:", 60, -1, "Text21", "Bank Name", 1140, 60, 2715, nullptr},
    {"Address:", 60, -1, "Text22", "Address", 1140, 480, 2715, nullptr},
    {"City:", 60, -1, "Text23", "Bank City", 1140, 900, 2715, nullptr},
    {"State:", 60, -1, "Text24", "Bank State", 1140, 1320, 795, nullptr},
    {"Zip Code:", 2100, -1, "Text25", "Zip Code", 2820, 1320, 1035, nullptr},
    {"Telephone:", 60, -1, "Text26", "Phone", 1140, 1740, 2715, nullptr},
    {"Website:", 60, -1, "Text27", "Website", 1140, 2160, 2715, nullptr},
};

template <size_t N> void addRows(QWidget* parent, const FieldRow (&rows)[N], DataBinder& binder, AppContext& context) {
    for (const FieldRow& row : rows) {
        // Labels end just before their box, so a wider font never runs into it.
        QLabel* label = makeLabel(parent, QString::fromUtf8(row.label), row.labelLeft,
                                  row.labelTop < 0 ? row.top + 60 : row.labelTop, row.left - 60 - row.labelLeft, 195,
                                  Qt::AlignRight | Qt::AlignVCenter);
        QLineEdit* box = makeBox(parent, QString::fromUtf8(row.box), row.left, row.top, row.width, 315, true);
        label->setBuddy(box); // screen readers name the box by its label
        if (row.spoken)
            box->setAccessibleName(spokenName(row));
        bindBox(binder, box, QString::fromUtf8(row.field));
        if (!row.copyButton)
            continue;
        QToolButton* copy = makePictureButton(parent, QString::fromUtf8(row.copyButton), QStringLiteral("copy"),
                                              QStringLiteral(" Copy to Clipboard "), 3720, row.top, 435, 315);
        copy->setAccessibleName(QStringLiteral("Copy %1 to Clipboard").arg(spokenName(row)));
        QObject::connect(copy, &QToolButton::clicked, parent,
                         [&context, box, parent] { copyField(context, box->text(), parent->window()); });
    }
}

} // namespace

PersonalPanel::PersonalPanel(QWidget* parent, AppContext& context, DataBinder& DatPersonal, DataBinder& DatCCard)
    : QWidget(parent), m_context(context) {
    setObjectName(QStringLiteral("PicPersonal"));

    jcFrames8 =
        makeFrame(this, QStringLiteral("jcFrames8"), QStringLiteral("Personal Information"), 60, 60, 4275, 4695);
    addRows(jcFrames8, PersonRows, DatPersonal, context);
    auto* cmdBack = makeButton(jcFrames8, QStringLiteral("cmdBack"), QStringLiteral("  Back"),
                               QStringLiteral(" Show Previous Identity "), 1020, 3000, 1095, 330);
    auto* cmdNext = makeButton(jcFrames8, QStringLiteral("cmdNext"), QStringLiteral("Next  "),
                               QStringLiteral(" Show the next Identity "), 2160, 3000, 1095, 330);
    makeCommandButton(jcFrames8, QStringLiteral("cmdNewPerson"), 600, 3840, 1515, 330);
    makeCommandButton(jcFrames8, QStringLiteral("cmdEditPerson"), 2160, 3840, 1515, 330);
    makeCommandButton(jcFrames8, QStringLiteral("cmdDeletePerson"), 600, 4200, 1515, 330);
    makeCommandButton(jcFrames8, QStringLiteral("cmdPrintPerson"), 2160, 4200, 1515, 330);

    jcFrames9 = makeFrame(this, QStringLiteral("jcFrames9"), QStringLiteral("Credit Cards"), 4440, 60, 4275, 4695);
    addRows(jcFrames9, CardRows, DatCCard, context);
    QLabel* expiration = makeLabel(jcFrames9, QStringLiteral("Card Expiration"), 240, 1740);
    QFont headingFont = expiration->font();
    headingFont.setBold(true);
    headingFont.setUnderline(true);
    expiration->setFont(headingFont);
    expiration->adjustSize();
    auto* CmdBackcc = makeButton(jcFrames9, QStringLiteral("CmdBackcc"), QStringLiteral("  Back"),
                                 QStringLiteral(" Move back to the Previous Credit Card "), 1020, 3000, 1095, 330);
    auto* cmdNextcc = makeButton(jcFrames9, QStringLiteral("cmdNextcc"), QStringLiteral("Next  "),
                                 QStringLiteral(" Show the next Credit Card "), 2160, 3000, 1095, 330);
    cmdBank = makeButton(jcFrames9, QStringLiteral("cmdBank"), QStringLiteral("Show and Hide Bank Info."),
                         QStringLiteral(" Click to show Bank Info - Click to hide "), 900, 3420, 2475, 315);
    makeCommandButton(jcFrames9, QStringLiteral("cmdNewCCard"), 600, 3840, 1515, 330);
    makeCommandButton(jcFrames9, QStringLiteral("cmdEditCCard"), 2160, 3840, 1515, 330);
    makeCommandButton(jcFrames9, QStringLiteral("cmdDeleteCCard"), 600, 4200, 1515, 330);
    makeCommandButton(jcFrames9, QStringLiteral("cmdPrintCCard"), 2160, 4200, 1515, 330);

    PicBank = new QWidget(jcFrames9);
    PicBank->setObjectName(QStringLiteral("PicBank"));
    setLightBlueBackground(PicBank);
    place(PicBank, 60, 300, 4155, 2595);
    addRows(PicBank, BankRows, DatCCard, context);
    PicBank->hide();
    connect(cmdBank, &QPushButton::clicked, this, [this] {
        PicBank->setVisible(PicBank->isHidden());
        // What the bank details lie over is out of sight with them: a label wider
        // than its place would otherwise peek out beside the panel.
        const QRect rows(0, PicBank->y(), jcFrames9->width(), PicBank->height());
        for (QWidget* child : jcFrames9->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child != PicBank && rows.intersects(child->geometry()))
                child->setVisible(PicBank->isHidden());
        }
    });

    struct Step {
        QPushButton* button;
        DataBinder& binder;
        bool forward;
        QString message;
    };
    const Step steps[] = {
        {cmdNext, DatPersonal, true, QStringLiteral("This is the last Person.")},
        {cmdBack, DatPersonal, false, QStringLiteral("This is the first Person.")},
        {cmdNextcc, DatCCard, true, QStringLiteral("This is the last Credit Card.")},
        {CmdBackcc, DatCCard, false, QStringLiteral("This is the first Credit Card.")},
    };
    for (const Step& s : steps) {
        DataBinder* binder = &s.binder;
        connect(s.button, &QPushButton::clicked, this,
                [this, binder, forward = s.forward, message = s.message] { step(*binder, forward, message); });
    }
}

void PersonalPanel::step(DataBinder& binder, bool forward, const QString& endMessage) {
    // An empty table has nothing to step through: nothing happens.
    if (binder.RecordCount() == 0)
        return;
    try {
        forward ? binder.MoveNext() : binder.MovePrevious();
        if (forward ? binder.isEOF() : binder.BOF()) {
            // The end record is back in view before the message shows.
            forward ? binder.MovePrevious() : binder.MoveNext();
            m_context.prompter.info(endMessage);
        }
    } catch (const StoreError& e) {
        m_context.prompter.critical(e.message());
    }
}

#include "CommandButtons.h"

#include "platform/Controls.h"

#include <QHash>
#include <QPushButton>

namespace {

struct Face {
    QString caption;
    QString tooltip;
};

const QHash<QString, Face>& faces() {
    static const QString print = QStringLiteral(" Print Preview  ");
    static const QHash<QString, Face> table{
        {"cmdNew", {"New", " Add a new Password "}},
        {"cmdEdit", {"Edit", " Edit this Password "}},
        {"cmdDelete", {"Delete", " Delete this Password  "}},
        {"cmdPrint", {"Print", print}},
        {"cmdNewCCard", {"New", " Add a new Credit Card "}},
        {"cmdEditCCard", {"Edit", " Edit this Credit Card "}},
        {"cmdDeleteCCard", {"Delete", " Delete this Credit Card "}},
        {"cmdPrintCCard", {"Print", print}},
        {"cmdNewPerson", {"New", " Add a new Personal Identity "}},
        {"cmdEditPerson", {"Edit", " Edit this Personal Information "}},
        {"cmdDeletePerson", {"Delete", " Delete this Personal Information   "}},
        {"cmdPrintPerson", {"Print", print}},
        {"cmdNewnote", {"New Note", " Add a new Note "}},
        {"cmdEditnote", {"Edit this Note", " Edit the displayed Note "}},
        {"cmdDeletenote", {"Delete this Note", " Delete the displayed Note   "}},
        {"cmdPrintnote", {"Print Preview", print}},
        {"cmdEditreminder", {"Edit this Reminder", " Edit the displayed Reminder "}},
        {"cmdDeletereminder", {"Delete this Reminder", " Delete the displayed Reminder "}},
        {"cmdPrintreminder", {"Print Preview", print}},
    };
    return table;
}

} // namespace

QPushButton* makeCommandButton(QWidget* parent, const QString& name, int left, int top, int width, int height) {
    const Face face = faces().value(name);
    return makeButton(parent, name, face.caption, face.tooltip, left, top, width, height);
}

#include "EditorDescription.h"

namespace {

const QColor Yellow(255, 255, 0);

EditorDescription passwords() {
    EditorDescription d{Section::Passwords,
                        "frmAddpassword",
                        "Password Editor",
                        "account",
                        "Label6",
                        "Adding New Password",
                        "Editing this Password",
                        Qt::white,
                        " Account Information ",
                        3555,
                        {},
                        {{"Text1", "Please enter Account Name or click Cancel."}},
                        true,
                        true,
                        6645,
                        5145};
    d.boxes = {
        {"Text1", "Account", "Account Name:", EditorBox::Line, 1680, 360, 4500, 315, 1600},
        {"Text2", "Website", "Website:", EditorBox::Line, 1680, 780, 4500, 315, 1600},
        {"Text3", "User", "User Name:", EditorBox::Line, 1680, 1200, 4500, 315, 1600, {}, true},
        {"Text4", "Password", "Password:", EditorBox::Line, 1680, 1620, 3000, 315, 1600, {}, true},
        {"Text5", "Notes", "Remarks:", EditorBox::Lines, 1680, 2040, 4500, 1335, 1600},
    };
    return d;
}

EditorDescription creditCards() {
    const QStringList types{"MasterCard", "Visa", "American Express", "Discover Card"};
    const QStringList months{"01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11", "12"};
    const QStringList years{"2006", "2007", "2008", "2009", "2010", "2011", "2012", "2013", "2014", "2015"};
    EditorDescription d{Section::CreditCards,
                        "frmAddCCard",
                        " Credit Card Editor",
                        "Credit Card",
                        "Label1",
                        "Adding Credit Card",
                        "Editing this Credit Card",
                        Qt::white,
                        " Card Information  ",
                        4875,
                        {},
                        {{"Combo1", "Please select type of Card or click Cancel."},
                         {"Text18", "Please enter Account Number or click Cancel."}},
                        false,
                        false,
                        4965,
                        6615,
                        "Card Expiration",
                        240,
                        1500};
    d.boxes = {
        {"Combo1", "Type Card", "Card Type:", EditorBox::Choice, 2040, 300, 2460, 315, 1980, types},
        {"Text18", "Card Number", "Account #", EditorBox::Line, 2040, 690, 2460, 315, 1980},
        {"Text28", "Security Code", "Card Security Code:", EditorBox::Line, 2040, 1080, 1200, 315, 1980},
        {"Combo3", "Month", "Month:", EditorBox::Choice, 2040, 1800, 780, 315, 1980, months},
        {"Combo2", "Year", "Year:", EditorBox::Choice, 3480, 1800, 1020, 315, 3420, years},
        {"Text21", "Bank Name", "Bank Name:", EditorBox::Line, 2040, 2250, 2460, 315, 1980},
        {"Text22", "Address", "Address:", EditorBox::Line, 2040, 2640, 2460, 315, 1980},
        {"Text23", "Bank City", "City:", EditorBox::Line, 2040, 3030, 2460, 315, 1980},
        {"Text24", "Bank State", "State:", EditorBox::Line, 2040, 3420, 600, 315, 1980},
        {"Text25", "Zip Code", "Zip Code:", EditorBox::Line, 3600, 3420, 900, 315, 3540},
        {"Text26", "Phone", "Telephone:", EditorBox::Line, 2040, 3810, 2460, 315, 1980},
        {"Text27", "Website", "Website:", EditorBox::Line, 2040, 4200, 2460, 315, 1980},
    };
    return d;
}

EditorDescription personal() {
    EditorDescription d{Section::Personal,
                        "frmAddPersonal",
                        " Personal Information Editor",
                        "Personal",
                        "Label1",
                        "Adding Personal Information",
                        "Editing this Person",
                        Qt::white,
                        "Personal Data",
                        2925,
                        {},
                        {{"Text10", "Please enter a Name or click Cancel."}},
                        false,
                        false,
                        4935,
                        4680};
    d.boxes = {
        {"Text10", "Full Name", "Name:", EditorBox::Line, 1080, 300, 3420, 315, 1020},
        {"Text11", "Address", "Address:", EditorBox::Line, 1080, 690, 3420, 315, 1020},
        {"Text12", "Address1", "Address:", EditorBox::Line, 1080, 1080, 3420, 315, 1020},
        {"Text13", "City", "City:", EditorBox::Line, 1080, 1470, 3420, 315, 1020},
        {"Text14", "State", "State:", EditorBox::Line, 1080, 1860, 700, 315, 1020},
        {"Text15", "Zip", "Zip Code:", EditorBox::Line, 3300, 1860, 1200, 315, 3240},
        {"Text16", "Email", "Email:", EditorBox::Line, 1080, 2250, 3420, 315, 1020},
    };
    // The two address lines share their label.
    d.boxes[1].spoken = QStringLiteral("Address");
    d.boxes[2].spoken = QStringLiteral("Address, second line");
    return d;
}

EditorDescription notes() {
    EditorDescription d{Section::Notes,
                        "frmAddnote",
                        " Note Editor",
                        "Notes",
                        "Label1",
                        "Adding New Note",
                        "Editing this Note",
                        Yellow,
                        "Note Details",
                        4815,
                        {},
                        {{"Text7", "Please enter a Subject or click Cancel."}},
                        false,
                        false,
                        6555,
                        6255};
    d.boxes = {
        {"Text7", "Title", "Subject:", EditorBox::Line, 1080, 300, 5040, 315, 1020},
        {"Text6", "Note", "", EditorBox::Lines, 120, 720, 6075, 3975},
    };
    return d;
}

EditorDescription reminders() {
    EditorDescription d{Section::Reminders,
                        "frmAddReminder",
                        " To Do List Editor",
                        "Reminder",
                        "Label1",
                        "Adding new Reminder",
                        "Editing this Reminder",
                        QColor(),
                        "Reminder",
                        1935,
                        {},
                        {{"Text9", "Please enter a Reminder or click Cancel."}},
                        false,
                        false,
                        6015,
                        3315};
    d.boxes = {
        {"Text8", "Date", "Date:", EditorBox::Line, 960, 300, 1935, 315, 900},
        {"Text9", "Reminder", "", EditorBox::Lines, 120, 720, 5535, 1095},
    };
    return d;
}

} // namespace

const EditorDescription& editorDescription(Section section) {
    static const EditorDescription all[] = {passwords(), creditCards(), personal(), notes(), reminders()};
    return all[static_cast<int>(section)];
}

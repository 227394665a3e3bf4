#pragma once

#include <QList>
#include <QString>
#include <stdexcept>

// A failure to read a layout or to run a report; the message names the file.
class ReportError : public std::runtime_error {
public:
    explicit ReportError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// A report layout: a small JSON file a user can edit in any text editor.
//   {"title": "...", "database": "password.mdb", "table": "...", "orientation": "portrait" | "landscape",
//    "fontSize": 9, "columns": [{"field": "...", "heading": "...", "width": 2,
//                  "sample": "0000-0000-0000-0000"}, ...]}
// A relative database name is looked up in the data folder the program gives,
// or in the layout's own folder when it gives none: a delivered layout read
// from the templates of an installed program still reports the user's records.
struct ReportLayout {
    struct Column {
        QString field;
        QString heading;
        double width = 1; // relative to the other columns
        QString sample;   // when given, the column is at least as wide as this text
    };
    QString path;
    QString title;
    QString databasePath; // resolved against the data folder
    QString table;
    bool landscape = false;
    double fontSize = 9; // points; a wide layout may ask for smaller print
    QList<Column> columns;

    // Throws ReportError for a missing, unreadable or malformed file.
    static ReportLayout load(const QString& path, const QString& dataDirectory = {});
};

#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

// What the search reads of each table, in the order the results list the
// sections. The secrets ("Password", "Card Number", "Security Code") are not
// here: they are neither indexed nor shown.
struct SearchedField {
    QString name;  // as stored
    QString label; // as the windows call it
};

// A field that names the record in the results.
struct NameField {
    QString name;
};

struct SearchedTable {
    QString table;   // as stored
    QString section; // the section's name for the user
    QList<SearchedField> fields;
    // The fields that make up a record's name in the results, joined by ", ".
    QList<NameField> nameFields;
    // The trigram index over the fields.
    QString index() const { return table + QStringLiteral(" search"); }
};

const std::vector<SearchedTable>& searchedTables();

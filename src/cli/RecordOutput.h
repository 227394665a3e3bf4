#pragma once

#include "SectionRecords.h"
#include "store/Section.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QList>

// How the command line shows records: which fields a listing shows, which are
// secrets that only "show --secrets" prints.
struct SectionView {
    Section section;
    QList<int> listed;  // fields a listing shows; a record is named by any of them
    QList<int> secrets; // fields never printed unless asked
};
const SectionView& viewOf(Section section);

// A JSON array printed one element at a time, in the layout QJsonDocument gives
// a whole array: a listing never holds more than one record.
class JsonArrayPrinter {
public:
    JsonArrayPrinter();
    void add(const QJsonObject& object);
    void finish();

private:
    bool m_empty = true;
};

// Prints a section's listing as it is read: a line "id<TAB>field<TAB>..." per
// record (tabs and line ends within a field become spaces), or a JSON array of
// objects with the id and the listed fields.
class ListingPrinter {
public:
    ListingPrinter(const SectionView& view, bool json);
    void add(qint64 id, const QList<QByteArrayView>& fields);
    void finish();

private:
    bool m_json;
    bool m_first = true;
    QList<QByteArray> m_names; // of the listed fields
    QByteArray m_line;
};

// A text on one line of a tab-separated listing.
QString oneCell(QString text);

// Every field of a record, the secrets hidden unless asked for: "Name: value"
// lines after "id: N", or a JSON array of one object.
QString detailText(const ShownRecord& record, const SectionView& view, bool secrets);
QString detailJson(const ShownRecord& record, const SectionView& view, bool secrets);

#pragma once

#include "store/Section.h"

#include <QList>

// Collects one item's texts for a section: fields set directly, and labelled
// lines for whatever the section has no field of its own. The lines go below
// the record's remarks; a section without remarks (cards, persons) gets a note
// of the item's name that holds them, so that nothing of the item is lost.
class RecordBuilder {
public:
    explicit RecordBuilder(Section section);

    void set(int field, const QString& value);
    const QString& value(int field) const { return m_values[field]; }
    // The item's own remarks, kept exactly.
    void setRemarks(const QString& text) { m_remarks = text; }
    // "label: value" as a line of its own; nothing for an empty value. Without
    // a label the value is taken as lines already labelled.
    void addLine(const QString& label, const QString& value);

    // The record, and a note titled noteTitle when the lines need one.
    void finish(qint64 line, const QString& noteTitle, QList<Record>& out) const;

    // The field where a section keeps remarks, or -1.
    static int remarksField(Section section);

private:
    QString composedRemarks() const;

    Section m_section;
    QStringList m_values;
    QString m_remarks;
    QStringList m_lines;
};

#pragma once

#include "Schema.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// The five kinds of record, in the order the program lists them to the user.
enum class Section { Passwords, CreditCards, Personal, Notes, Reminders };
inline constexpr int SectionCount = 5;
inline constexpr std::array<Section, SectionCount> AllSections{Section::Passwords, Section::CreditCards,
                                                               Section::Personal, Section::Notes, Section::Reminders};

const Schema::Table& tableOf(Section section);
// "Passwords", "Credit Cards", ...: how the user reads a section's name.
QString sectionTitle(Section section);
// "passwords", "cards", ...: the one-word name the command line takes, and the
// name of the section's file in a CSV export.
QString sectionWord(Section section);
std::optional<Section> sectionFromWord(const QString& word);

// A number per section.
using SectionCounts = std::array<qint64, SectionCount>;
inline qint64& at(SectionCounts& counts, Section section) {
    return counts[static_cast<int>(section)];
}
inline qint64 at(const SectionCounts& counts, Section section) {
    return counts[static_cast<int>(section)];
}

// One record of a section as read from a file: the table's fields in their
// stored order. A null text is a field the file leaves out.
struct Record {
    Section section = Section::Passwords;
    QStringList values;
    qint64 line = 0; // where the record starts in its file, from 1
};

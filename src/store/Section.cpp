#include "Section.h"

namespace {

struct SectionNames {
    Section section;
    const Schema::Table& (*table)();
    const char* title;
    const char* word;
};

const SectionNames Names[] = {
    {Section::Passwords, &Schema::account, "Passwords", "passwords"},
    {Section::CreditCards, &Schema::creditCard, "Credit Cards", "cards"},
    {Section::Personal, &Schema::personal, "Personal", "personal"},
    {Section::Notes, &Schema::notes, "Notes", "notes"},
    {Section::Reminders, &Schema::reminder, "Reminders", "reminders"},
};

const SectionNames& namesOf(Section section) {
    return Names[static_cast<int>(section)];
}

} // namespace

const Schema::Table& tableOf(Section section) {
    return namesOf(section).table();
}

QString sectionTitle(Section section) {
    return QString::fromUtf8(namesOf(section).title);
}

QString sectionWord(Section section) {
    return QString::fromUtf8(namesOf(section).word);
}

std::optional<Section> sectionFromWord(const QString& word) {
    for (const SectionNames& names : Names) {
        if (word.compare(QString::fromUtf8(names.word), Qt::CaseInsensitive) == 0 ||
            word.compare(QString::fromUtf8(names.title), Qt::CaseInsensitive) == 0 ||
            word.compare(names.table().name, Qt::CaseInsensitive) == 0)
            return names.section;
    }
    return std::nullopt;
}

#pragma once

// The five kinds of record; each is one table, one main-window binder, one
// record editor and one report.
enum class Section { Passwords, CreditCards, Personal, Notes, Reminders };

inline constexpr Section AllSections[] = {Section::Passwords, Section::CreditCards, Section::Personal, Section::Notes,
                                          Section::Reminders};

class DataBinder;

// What the panels and the record commands need of the main window.
class SectionBinders {
public:
    virtual ~SectionBinders() = default;
    virtual DataBinder& binder(Section section) = 0;
};

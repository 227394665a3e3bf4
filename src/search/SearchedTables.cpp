#include "SearchedTables.h"

const std::vector<SearchedTable>& searchedTables() {
    static const std::vector<SearchedTable> tables{
        {"account",
         "Passwords",
         {{"Account", "Account Name"}, {"Website", "Website"}, {"User", "User Name"}, {"Notes", "Remarks"}},
         {{"Account"}}},
        {"Credit Card",
         "Credit Cards",
         {{"Type Card", "Card Type"},
          {"Bank Name", "Bank Name"},
          {"Month", "Month"},
          {"Year", "Year"},
          {"Address", "Address"},
          {"Bank City", "City"},
          {"Bank State", "State"},
          {"Zip Code", "Zip Code"},
          {"Phone", "Telephone"},
          {"Website", "Website"}},
         {{"Type Card"}, {"Bank Name"}}},
        {"Personal",
         "Personal",
         {{"Full Name", "Name"},
          {"Address", "Address"},
          {"Address1", "Address"},
          {"City", "City"},
          {"State", "State"},
          {"Zip", "Zip Code"},
          {"Email", "Email"}},
         {{"Full Name"}}},
        {"Notes", "Notes", {{"Title", "Subject"}, {"Note", "Note"}}, {{"Title"}}},
        {"Reminder", "Reminders", {{"Date", "Date"}, {"Reminder", "Reminder"}}, {{"Date"}}},
    };
    return tables;
}

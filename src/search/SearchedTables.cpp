#include "SearchedTables.h"

const std::vector<SearchedTable>& searchedTables() {
    static const std::vector<SearchedTable> tables{
        {"account",
         "Passwords",
         {{"Account", "Account Name"}, {"Website", "Website"}, {"User", "User Name"}, {"Notes", "Remarks"}},
         {{"Account", "account name"}}},
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
         {{"Type Card", "Credit Card name"}, {"Bank Name", "Credit Card bank"}}},
        {"Personal",
         "Personal",
         {{"Full Name", "Name"},
          {"Address", "Address"},
          {"Address1", "Address"},
          {"City", "City"},
          {"State", "State"},
          {"Zip", "Zip Code"},
          {"Email", "Email"}},
         {{"Full Name", "Personal name"}}},
        {"Notes", "Notes", {{"Title", "Subject"}, {"Note", "Note"}}, {{"Title", "Notes name"}}},
        {"Reminder", "Reminders", {{"Date", "Date"}, {"Reminder", "Reminder"}}, {{"Date", "Reminder name"}}},
    };
    return tables;
}

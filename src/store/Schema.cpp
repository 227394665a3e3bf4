#include "Schema.h"

namespace Schema {

const Table& account() {
    static const Table t{"account", {"Account", "Website", "User", "Password", "Notes"}};
    return t;
}

const Table& creditCard() {
    static const Table t{"Credit Card",
                         {"Type Card", "Card Number", "Security Code", "Month", "Year", "Bank Name", "Address",
                          "Bank City", "Bank State", "Zip Code", "Phone", "Website"}};
    return t;
}

const Table& personal() {
    static const Table t{"Personal", {"Full Name", "Address", "Address1", "City", "State", "Zip", "Email"}};
    return t;
}

const Table& notes() {
    static const Table t{"Notes", {"Title", "Note"}};
    return t;
}

const Table& reminder() {
    static const Table t{"Reminder", {"Date", "Reminder"}};
    return t;
}

const Table& pass() {
    static const Table t{"Pass", {"Password"}};
    return t;
}

const std::vector<const Table*>& recordTables() {
    static const std::vector<const Table*> tables{&creditCard(), &notes(), &account(), &personal(), &reminder()};
    return tables;
}

QString quoted(const QString& identifier) {
    QString inner = identifier;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

} // namespace Schema

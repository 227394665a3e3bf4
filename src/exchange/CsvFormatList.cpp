#include "CsvFormats.h"

#include <algorithm>

namespace CsvFormats {

namespace {

using T = Target;
using Rules = std::vector<ColumnRule>;

// Passwords: Account 0, Website 1, User 2, Password 3, Notes 4. Cards: Type
// Card 0, Card Number 1, Security Code 2, Month 3, Year 4, Bank Name 5, Zip
// Code 9. Personal: Full Name 0, Address 1, Address1 2, City 3, State 4, Zip
// 5, Email 6. Notes: Title 0, Note 1.
ColumnRule field(const char* header, int field) {
    return {header, T::Field, field};
}
ColumnRule line(const char* header, const char* label, const char* unless = "") {
    return {header, T::Line, -1, label, -1, unless};
}
ColumnRule remarks(const char* header) {
    return {header, T::Remarks};
}
ColumnRule time(const char* header, const char* label, int unit) {
    return {header, T::Time, unit, label};
}
ColumnRule member(const char* column, const char* name, Target target, int field = -1, const char* label = "",
                  const char* unless = "") {
    return {column, target, field, label, -1, unless, name};
}

Layout logins(Rules rules) {
    return {Section::Passwords, std::move(rules), {}, {}, {}, {}};
}
Layout notes(Rules rules) {
    return {Section::Notes, std::move(rules), {}, {}, {}, {}};
}
Layout passedOver(const char* description, const char* nameColumn) {
    return {Section::Notes, {}, description, {}, {}, nameColumn};
}

Rules bitwardenRules(bool login, const char* place, const char* placeLabel) {
    Rules rules{field("name", 0), remarks("notes")};
    if (login) {
        rules.insert(rules.end(), {{"login_uri", T::Uris},
                                   field("login_username", 2),
                                   field("login_password", 3),
                                   line("login_totp", "TOTP")});
    }
    rules.insert(rules.end(), {{"fields", T::Lines},
                               line(place, placeLabel),
                               line("favorite", "Favorite", "0"),
                               line("reprompt", "Reprompt", "0")});
    return rules;
}

Format bitwarden(const char* name, const char* place, const char* placeLabel) {
    return {.name = name,
            .signature = {place, "type", "name", "notes", "login_uri", "login_username", "login_password"},
            .typeColumn = "type",
            .layouts = {{"login", logins(bitwardenRules(true, place, placeLabel))},
                        {"note", notes(bitwardenRules(false, place, placeLabel))}}};
}

Rules keePassXcRules() {
    return {field("Title", 0),         field("URL", 1),           field("Username", 2),
            field("Password", 3),      remarks("Notes"),          line("TOTP", "TOTP"),
            line("Group", "Group"),    line("Icon", "Icon", "0"), line("Last Modified", "Last modified"),
            line("Created", "Created")};
}

// KeePassXC exports what lies in its Recycle Bin too, under "Root/Recycle Bin".
QString keePassXcKind(const Row& row) {
    for (const QString& group : row(QStringLiteral("Group")).split(QLatin1Char('/'))) {
        if (group == QLatin1String("Recycle Bin"))
            return QStringLiteral("recycled");
    }
    return {};
}

// Firefox keeps its own account's sign-in among the logins.
QString firefoxKind(const Row& row) {
    return row(QStringLiteral("url")).startsWith(QLatin1String("chrome://FirefoxAccounts")) ? QStringLiteral("own")
                                                                                            : QString();
}

// LastPass writes its secure notes as rows of the address "http://sn".
QString lastPassKind(const Row& row) {
    return row(QStringLiteral("url")) == QLatin1String("http://sn") ? QStringLiteral("note") : QStringLiteral("login");
}

bool allEmpty(const Row& row, std::initializer_list<const char*> columns) {
    for (const char* column : columns) {
        if (!row(QString::fromLatin1(column)).isEmpty())
            return false;
    }
    return true;
}

// NordPass names each row's kind in newer exports; in older ones its columns tell it.
QString nordPassKind(const Row& row) {
    const QString type = row(QStringLiteral("type"));
    for (const char* known : {"password", "note", "credit_card", "identity", "folder"}) {
        if (type == QLatin1String(known))
            return type;
    }
    if (!row(QStringLiteral("cardnumber")).isEmpty() || !row(QStringLiteral("cardholdername")).isEmpty())
        return QStringLiteral("credit_card");
    const bool noLogin = allEmpty(row, {"url", "username", "password"});
    if (noLogin && !allEmpty(row, {"full_name", "address1", "address2", "city", "phone_number", "email"}))
        return QStringLiteral("identity");
    // A folder is a row of nothing but its name.
    const qsizetype filled =
        std::count_if(row.cells().begin(), row.cells().end(), [](const QString& cell) { return !cell.isEmpty(); });
    if (filled == 1 && !row(QStringLiteral("name")).isEmpty())
        return QStringLiteral("folder");
    return noLogin && !row(QStringLiteral("note")).isEmpty() ? QStringLiteral("note") : QStringLiteral("password");
}

Format nordPass() {
    const ColumnRule folder = line("folder", "Folder");
    Layout card{Section::CreditCards,
                {field("name", 5),
                 line("cardholdername", "Cardholder"),
                 field("cardnumber", 1),
                 field("cvc", 2),
                 line("pin", "PIN"),
                 {"expirydate", T::Expiry},
                 field("zipcode", 9),
                 remarks("note"),
                 folder},
                {},
                {},
                {},
                "name"};
    Layout person{Section::Personal,
                  {field("full_name", 0),
                   {"name", T::FieldOrLine, 0, "Name"},
                   field("address1", 1),
                   field("address2", 2),
                   field("city", 3),
                   field("state", 4),
                   field("zipcode", 5),
                   field("email", 6),
                   line("phone_number", "Phone"),
                   line("country", "Country"),
                   remarks("note"),
                   folder},
                  {},
                  {},
                  {},
                  "name"};
    return {
        .name = "NordPass CSV",
        .signature = {"name", "url", "username", "password", "note", "cardholdername", "cardnumber", "cvc",
                      "expirydate", "zipcode", "folder", "full_name", "phone_number", "email", "address1", "address2",
                      "city", "country", "state"},
        .layouts = {{"password", logins({field("name", 0),
                                         field("url", 1),
                                         {"additional_urls", T::UriList, -1, "URL"},
                                         field("username", 2),
                                         field("password", 3),
                                         remarks("note"),
                                         folder,
                                         line("custom_fields", "Custom fields")})},
                    {"note", notes({field("name", 0), remarks("note"), folder})},
                    {"credit_card", card},
                    {"identity", person},
                    {"folder", passedOver("folder rows (each record keeps its folder as a \"Folder\" line)", "name")}},
        .optional = {"additional_urls", "pin", "type", "custom_fields"},
        .kindOf = &nordPassKind};
}

Rules protonRules(Rules rules) {
    rules.insert(rules.end(), {time("createTime", "Created", Seconds), time("modifyTime", "Modified", Seconds),
                               line("vault", "Vault")});
    return rules;
}

Format protonPass() {
    const char* n = "note";
    Layout login = logins(protonRules({field("name", 0),
                                       {"url", T::Uris},
                                       field("username", 2),
                                       {"email", T::FieldOrLine, 2, "Email"},
                                       field("password", 3),
                                       remarks("note"),
                                       line("totp", "TOTP")}));
    Layout card{Section::CreditCards,
                protonRules({field("name", 5), member(n, "cardholderName", T::Line, -1, "Cardholder"),
                             member(n, "cardType", T::Line, -1, "Card type", "0"), member(n, "number", T::Field, 1),
                             member(n, "verificationNumber", T::Field, 2), member(n, "expirationDate", T::Expiry),
                             member(n, "pin", T::Line, -1, "PIN"), member(n, "note", T::Remarks)}),
                {},
                {},
                {},
                "name"};
    Layout person{Section::Personal,
                  protonRules({member(n, "fullName", T::Field, 0),
                               {"name", T::FieldOrLine, 0, "Name"},
                               member(n, "streetAddress", T::Field, 1),
                               member(n, "city", T::Field, 3),
                               member(n, "stateOrProvince", T::Field, 4),
                               member(n, "zipOrPostalCode", T::Field, 5),
                               member(n, "email", T::Field, 6),
                               member(n, "note", T::Remarks)}),
                  {},
                  {},
                  {},
                  "name"};
    return {.name = "Proton Pass CSV",
            .signature = {"type", "name", "url", "email", "username", "password", "note", "totp", "createTime",
                          "modifyTime", "vault"},
            .typeColumn = "type",
            .layouts = {{"login", login},
                        {"alias", login},
                        {"note", notes(protonRules({field("name", 0), remarks("note")}))},
                        {"creditCard", card},
                        {"identity", person},
                        // Kinds of item newer versions add are kept as notes, their text as it is.
                        {{}, notes(protonRules({field("name", 0), remarks("note")}))}}};
}

Format keePassXc() {
    Layout recycled = logins(keePassXcRules());
    recycled.mark = QStringLiteral("Deleted: in the Recycle Bin of the exported database");
    recycled.marked = QStringLiteral("rows of the Recycle Bin, imported with the line \"%1\"").arg(recycled.mark);
    return {.name = "KeePassXC CSV",
            .signature = {"Group", "Title", "Username", "Password", "URL", "Notes"},
            .layouts = {{{}, logins(keePassXcRules())}, {"recycled", recycled}},
            .kindOf = &keePassXcKind};
}

std::vector<Format> makeFormats() {
    std::vector<Format> formats{
        bitwarden("Bitwarden CSV", "folder", "Folder"),
        bitwarden("Bitwarden CSV (organisation)", "collections", "Collections"),
        keePassXc(),
        {.name = "KeePass CSV",
         .signature = {"Account", "Login Name", "Password", "Web Site", "Comments"},
         .exact = true,
         .layouts = {{{},
                      logins({field("Account", 0), field("Web Site", 1), field("Login Name", 2), field("Password", 3),
                              remarks("Comments")})}}},
        {.name = "Firefox CSV",
         .signature = {"url", "username", "password", "httpRealm"},
         .layouts = {{{},
                      logins({field("url", 1), field("username", 2), field("password", 3),
                              line("httpRealm", "HTTP realm"), line("formActionOrigin", "Form address"),
                              line("guid", "GUID"), time("timeCreated", "Created", Milliseconds),
                              time("timeLastUsed", "Last used", Milliseconds),
                              time("timePasswordChanged", "Password changed", Milliseconds)})},
                     {"own", passedOver("rows of Firefox's own account sign-in (chrome://FirefoxAccounts), "
                                        "which is no website's login",
                                        "")}},
         .nameFromWebsite = true,
         .kindOf = &firefoxKind},
        {.name = "Chrome CSV",
         .signature = {"name", "url", "username", "password"},
         .exact = true,
         .layouts = {{{},
                      logins({field("name", 0), field("url", 1), field("username", 2), field("password", 3),
                              remarks("note")})}},
         .optional = {"note"},
         .shortestRow = 4},
        {.name = "LastPass CSV",
         .signature = {"url", "username", "password", "extra", "name", "grouping", "fav"},
         .layouts = {{"login", logins({field("name", 0), field("url", 1), field("username", 2), field("password", 3),
                                       remarks("extra"), line("totp", "TOTP"), line("grouping", "Group"),
                                       line("fav", "Favorite", "0")})},
                     {"note", notes({field("name", 0), remarks("extra"), line("url", "URL", "http://sn"),
                                     line("grouping", "Group"), line("fav", "Favorite", "0")})}},
         .optional = {"totp"},
         .kindOf = &lastPassKind},
        nordPass(),
        protonPass(),
        {.name = "1Password 8 CSV",
         .signature = {"Title", "Url", "Username", "Password", "OTPAuth", "Favorite", "Archived", "Tags", "Notes"},
         .layouts = {{{},
                      logins({field("Title", 0), field("Url", 1), field("Username", 2), field("Password", 3),
                              remarks("Notes"), line("OTPAuth", "TOTP"), line("Favorite", "Favorite", "false"),
                              line("Archived", "Archived", "false"), line("Tags", "Tags")})}}},
        {.name = "1Password CSV (older, all fields)",
         .signature = {"ainfo", "autosubmit", "scope", "uuid", "Title", "URL", "Username", "Password", "Notes"},
         .layouts = {{{},
                      logins({field("Title", 0), field("URL", 1), field("Username", 2), field("Password", 3),
                              remarks("Notes")})}}},
        {.name = "1Password 4 CSV",
         .signature = {"title", "notes", "username", "password", "url"},
         .exact = true,
         .layouts = {{{},
                      logins({field("title", 0), field("url", 1), field("username", 2), field("password", 3),
                              remarks("notes")})}}},
        {.name = "Dashlane CSV",
         .signature = {"username", "username2", "username3", "title", "password", "note", "url", "category",
                       "otpSecret"},
         .layouts = {{{},
                      logins({field("title", 0), field("url", 1), field("username", 2), line("username2", "Username 2"),
                              line("username3", "Username 3"), field("password", 3), remarks("note"),
                              line("category", "Category"), line("otpSecret", "TOTP")})}}},
        {.name = "Dashlane CSV (without a header line)",
         .layouts = {{{},
                      logins({field("title", 0), field("url", 1), field("login", 2), field("password", 3),
                              remarks("note")})}},
         .shortestRow = 1,
         .columns = {"title", "url", "login", "password", "note"}},
        {.name = "Firefox Password Exporter CSV",
         .signature = {"hostname", "username", "password"},
         .exact = true,
         .layouts = {{{}, logins({field("hostname", 1), field("username", 2), field("password", 3)})}},
         .nameFromWebsite = true},
        {.name = "Chrome password database CSV",
         .signature = {"origin_url", "action_url", "username_value", "password_value", "signon_realm"},
         .layouts = {{{},
                      logins({field("display_name", 0), field("origin_url", 1), field("username_value", 2),
                              field("password_value", 3)})}}},
    };
    return formats;
}

// Old Dashlane writes no header: each row is a title, a web address, a
// login, a password and a note, its empty values at the end left out.
bool looksLikeOldDashlane(const QList<QStringList>& rows) {
    bool full = false;
    for (const QStringList& row : rows) {
        for (qsizetype i = 5; i < row.size(); ++i) {
            if (!row.at(i).isEmpty())
                return false;
        }
        if (row.size() >= 5) {
            if (!row.at(1).isEmpty() && !row.at(1).contains(QLatin1String("://")))
                return false;
            full = true;
        }
    }
    return full;
}

} // namespace

const std::vector<Format>& knownFormats() {
    static const std::vector<Format> formats = makeFormats();
    return formats;
}

const Format* recogniseHeaderless(const QList<QStringList>& firstRows) {
    if (recognise(firstRows.value(0)) || !looksLikeOldDashlane(firstRows))
        return nullptr;
    for (const Format& format : knownFormats()) {
        if (!format.columns.isEmpty())
            return &format;
    }
    return nullptr;
}

} // namespace CsvFormats

#include "CsvFormats.h"

namespace CsvFormats {

namespace {

using T = Target;
// Passwords: Account 0, Website 1, User 2, Password 3, Notes 4; Notes: Title 0, Note 1.
const std::vector<Format>& knownFormats() {
    static const std::vector<Format> formats{
        {QStringLiteral("Bitwarden CSV"),
         {"folder", "type", "name", "notes", "login_uri", "login_username", "login_password"},
         false,
         QStringLiteral("type"),
         {{QStringLiteral("login"),
           {Section::Passwords,
            {{"name", T::Field, 0},
             {"login_uri", T::Uris},
             {"login_username", T::Field, 2},
             {"login_password", T::Field, 3},
             {"notes", T::Remarks},
             {"login_totp", T::Line, -1, "TOTP"},
             {"fields", T::Lines},
             {"folder", T::Line, -1, "Folder"}}}},
          {QStringLiteral("note"),
           {Section::Notes,
            {{"name", T::Field, 0}, {"notes", T::Remarks}, {"fields", T::Lines}, {"folder", T::Line, -1, "Folder"}}}}}},
        {QStringLiteral("KeePassXC CSV"),
         {"Group", "Title", "Username", "Password", "URL", "Notes"},
         false,
         {},
         {{{},
           {Section::Passwords,
            {{"Title", T::Field, 0},
             {"URL", T::Field, 1},
             {"Username", T::Field, 2},
             {"Password", T::Field, 3},
             {"Notes", T::Remarks},
             {"TOTP", T::Line, -1, "TOTP"},
             {"Group", T::Line, -1, "Group"}}}}}},
        {QStringLiteral("Firefox CSV"),
         {"url", "username", "password", "httpRealm"},
         false,
         {},
         {{{},
           {Section::Passwords,
            {{"url", T::Field, 1},
             {"username", T::Field, 2},
             {"password", T::Field, 3},
             {"httpRealm", T::Line, -1, "HTTP realm"}}}}},
         QStringLiteral("url"),
         QStringLiteral("chrome://"),
         true},
        {QStringLiteral("Chrome CSV"),
         {"name", "url", "username", "password"},
         false,
         {},
         {{{},
           {Section::Passwords,
            {{"name", T::Field, 0},
             {"url", T::Field, 1},
             {"username", T::Field, 2},
             {"password", T::Field, 3},
             {"note", T::Remarks}}}}}},
    };
    return formats;
}

bool hasColumns(const QStringList& header, const QStringList& columns, bool exact) {
    if (exact && header.size() != columns.size())
        return false;
    for (const QString& column : columns) {
        bool found = false;
        for (const QString& cell : header)
            found = found || cell.trimmed().compare(column, Qt::CaseInsensitive) == 0;
        if (!found)
            return false;
    }
    return true;
}

} // namespace

Format ownFormat(Section section) {
    const QStringList& fields = tableOf(section).fields;
    Layout layout{section, {}};
    for (int i = 0; i < fields.size(); ++i)
        layout.rules.push_back({fields.at(i), Target::Field, i});
    return {QStringLiteral("Quillmere CSV (%1)").arg(sectionTitle(section)), fields, true, {}, {{{}, layout}}};
}

const Format* recognise(const QStringList& header) {
    static const std::vector<Format> own = [] {
        std::vector<Format> formats;
        for (Section section : AllSections)
            formats.push_back(ownFormat(section));
        return formats;
    }();
    for (const std::vector<Format>* list : {&own, &knownFormats()}) {
        for (const Format& format : *list) {
            if (hasColumns(header, format.signature, format.exact))
                return &format;
        }
    }
    return nullptr;
}

Format mappedFormat(const ColumnMapping& mapping, const QStringList& header) {
    Layout layout{mapping.section, {}};
    for (int field = 0; field < mapping.columns.size(); ++field) {
        const int column = mapping.columns.at(field);
        if (column >= 0 && column < header.size())
            layout.rules.push_back({header.at(column), Target::Field, field, {}, column});
    }
    return {QStringLiteral("CSV (columns chosen)"), {}, false, {}, {{{}, layout}}};
}

} // namespace CsvFormats

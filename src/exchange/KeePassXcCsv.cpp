#include "KeePassXcCsv.h"

#include "BitwardenLines.h"

namespace KeePassXcCsv {

namespace {

using ExportRows::Rows;

// KeePassXC quotes every value and doubles the quotes inside.
void quoted(QByteArray& out, const QString& text) {
    QByteArray utf8 = text.toUtf8();
    utf8.replace('"', "\"\"");
    out.append('"').append(utf8).append('"');
}

struct Entry {
    QString group;
    QString title;
    QString username;
    QString password;
    QString url;
    QString notes;
    QString totp;
};

// Takes the first line "Label: value" out of the text; its value, or nothing.
QString takeLine(QString& text, const QString& label) {
    QStringList lines = text.split(QLatin1Char('\n'));
    const QString start = label + QStringLiteral(": ");
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).startsWith(start) && lines.at(i).size() > start.size()) {
            const QString value = lines.at(i).mid(start.size());
            lines.removeAt(i);
            text = lines.join(QLatin1Char('\n'));
            return value;
        }
    }
    return {};
}

// A group path below the root: a slash in a folder's name nests it, as in KeePassXC.
QString groupOf(const QString& below) {
    return below.isEmpty() ? RootGroup : RootGroup + QLatin1Char('/') + below;
}

Entry entryOf(Section section, const QStringList& values) {
    Entry entry;
    if (section == Section::Passwords) { // Account, Website, User, Password, Notes
        entry = {QString(), values.at(0), values.at(2), values.at(3), values.at(1), values.at(4), QString()};
        entry.totp = takeLine(entry.notes, BitwardenLines::Totp);
        entry.group = groupOf(takeLine(entry.notes, BitwardenLines::Folder));
        return entry;
    }
    // The other sections: their first field names the entry, the rest are lines of the notes.
    const QStringList& fields = tableOf(section).fields;
    entry.group = groupOf(sectionTitle(section));
    const int titleField = section == Section::CreditCards && !values.at(5).isEmpty() ? 5 : 0;
    entry.title = values.at(titleField);
    QStringList lines;
    for (int i = 0; i < fields.size(); ++i) {
        const bool remarks = (section == Section::Notes || section == Section::Reminders) && i == 1;
        if (remarks || i == titleField || values.at(i).isEmpty())
            continue;
        if (section == Section::CreditCards && i == 1)
            entry.password = values.at(i); // the card number is the secret KeePassXC shows hidden
        lines << fields.at(i) + QStringLiteral(": ") + values.at(i);
    }
    if (section == Section::Notes || section == Section::Reminders)
        lines.prepend(values.at(1));
    lines.removeAll(QString());
    entry.notes = lines.join(QLatin1Char('\n'));
    return entry;
}

} // namespace

QByteArray header() {
    return "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\",\"Last Modified\","
           "\"Created\"\n";
}

SectionCounts write(SQLite::Database& db, ExportRows::Out& out, const QDateTime& when) {
    SectionCounts counts{};
    const QString time = when.toUTC().toString(Qt::ISODate);
    out.buffer().append(header());
    for (Section section : AllSections) {
        Rows rows(db, section);
        while (rows.next()) {
            ++at(counts, section);
            const Entry entry = entryOf(section, rows.values());
            QByteArray& b = out.buffer();
            for (const QString* value : {&entry.group, &entry.title, &entry.username, &entry.password, &entry.url,
                                         &entry.notes, &entry.totp}) {
                quoted(b, *value);
                b.append(',');
            }
            b.append("\"0\",");
            quoted(b, time);
            b.append(',');
            quoted(b, time);
            b.append('\n');
            out.flushIfFull();
        }
    }
    return counts;
}

} // namespace KeePassXcCsv

#include "CommandRuns.h"
#include "Output.h"
#include "RecordOutput.h"
#include "SectionRecords.h"
#include "search/RecordSearch.h"

#include <QJsonArray>

namespace {

// Hits read at a time by the search command.
constexpr int HitsPerRead = 50;
// Ids a failure lists in its line of text; the JSON form lists them all.
constexpr qsizetype IdsTold = 20;

std::optional<Section> sectionArgument(const Context& context, QString& error) {
    const QString word = context.arguments.positional.value(0);
    const std::optional<Section> section = sectionFromWord(word);
    if (!section)
        error = QStringLiteral("\"%1\" is no section: passwords, cards, personal, notes or reminders.").arg(word);
    return section;
}

// A word of digits only names a record by its id.
std::optional<qint64> idIn(const QString& word) {
    for (const QChar c : word) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 id = word.toLongLong(&ok);
    return ok ? std::optional<qint64>(id) : std::nullopt;
}

// The one record of the section with that id or name; a failure when there is
// none, or when several bear the name (their ids told, for the user to pick).
ShownRecord theRecord(SectionRecords& records, const QString& word) {
    if (const std::optional<qint64> id = idIn(word)) {
        if (std::optional<ShownRecord> record = records.byId(*id))
            return *record;
    }
    const QList<qint64> ids = records.idsNamed(word);
    const QString title = sectionTitle(records.section());
    if (ids.isEmpty())
        fail(QStringLiteral("%1 holds no record named \"%2\".").arg(title, word));
    if (ids.size() > 1) {
        QStringList told;
        QJsonArray all;
        for (const qint64 id : ids) {
            if (told.size() < IdsTold)
                told << QString::number(id);
            all << id;
        }
        if (ids.size() > IdsTold)
            told << QStringLiteral("and %1 more").arg(ids.size() - IdsTold);
        fail(QStringLiteral("%1 records of %2 are named \"%3\", with the ids %4; show one by its id.")
                 .arg(ids.size())
                 .arg(title, word, told.join(QStringLiteral(", "))),
             Failed, {{QStringLiteral("ids"), all}});
    }
    return *records.byId(ids.first());
}

// The one-word name of a search hit's section, as ls and show take it.
QString sectionWordOf(const SearchHit& hit) {
    for (const Section section : AllSections) {
        if (tableOf(section).name == hit.table)
            return sectionWord(section);
    }
    return hit.table;
}

} // namespace

int list(Context& context) {
    QString error;
    const std::optional<Section> section = sectionArgument(context, error);
    if (!section || context.arguments.positional.size() != 1)
        return fail(error.isEmpty() ? QStringLiteral("ls takes one section.") : error, Usage);
    SectionRecords records(context.database(), *section);
    ListingPrinter printer(viewOf(*section), context.arguments.has(QStringLiteral("json")));
    records.forEachListed([&](qint64 id, const QList<QByteArrayView>& fields) { printer.add(id, fields); });
    printer.finish();
    return Done;
}

int show(Context& context) {
    QString error;
    const std::optional<Section> section = sectionArgument(context, error);
    if (!section || context.arguments.positional.size() != 2)
        return fail(error.isEmpty() ? QStringLiteral("show takes a section and a name or id.") : error, Usage);
    const QString name = context.arguments.positional.at(1);
    if (name.isEmpty())
        return fail(QStringLiteral("show needs a name or an id."), Usage);
    SectionRecords records(context.database(), *section);
    const ShownRecord record = theRecord(records, name);
    const SectionView& view = viewOf(*section);
    const bool secrets = context.arguments.has(QStringLiteral("secrets"));
    if (context.arguments.has(QStringLiteral("history")))
        return showHistory(context, record, secrets);
    print(context.arguments.has(QStringLiteral("json")) ? detailJson(record, view, secrets)
                                                        : detailText(record, view, secrets));
    return Done;
}

int search(Context& context) {
    if (context.arguments.positional.size() != 1)
        return fail(QStringLiteral("search takes one text."), Usage);
    const SearchQuery query = SearchQuery::parse(context.arguments.positional.at(0));
    if (query.isEmpty())
        return fail(QStringLiteral("search needs a text to find."), Usage);
    RecordSearch finder(context.database());
    std::optional<JsonArrayPrinter> json;
    if (context.arguments.has(QStringLiteral("json")))
        json.emplace();
    // Page through the hits a screenful at a time: a query that matches every
    // record never holds more than one page in memory.
    QList<SearchHit> page = finder.hits(query, HitsPerRead);
    while (!page.isEmpty()) {
        for (const SearchHit& hit : page) {
            const QString section = sectionWordOf(hit);
            if (json)
                json->add(QJsonObject{{QStringLiteral("section"), section},
                                      {QStringLiteral("id"), hit.key},
                                      {QStringLiteral("name"), hit.name},
                                      {QStringLiteral("field"), hit.fieldLabel},
                                      {QStringLiteral("text"), hit.text}});
            else
                print(QStringList{section, QString::number(hit.key), oneCell(hit.name), oneCell(hit.fieldLabel),
                                  oneCell(hit.text)}
                          .join(QLatin1Char('\t')) +
                      QLatin1Char('\n'));
        }
        if (page.size() < HitsPerRead)
            break;
        const SearchHit last = page.last();
        page = finder.hits(query, HitsPerRead, &last);
    }
    if (json)
        json->finish();
    return Done;
}

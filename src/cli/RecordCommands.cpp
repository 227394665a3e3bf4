#include "CommandRuns.h"
#include "Output.h"
#include "RecordOutput.h"
#include "search/RecordSearch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Hits read at a time by the search command.
constexpr int HitsPerRead = 50;

std::optional<Section> sectionArgument(const Context& context, QString& error) {
    const QString word = context.arguments.positional.value(0);
    const std::optional<Section> section = sectionFromWord(word);
    if (!section)
        error = QStringLiteral("\"%1\" is no section: passwords, cards, personal, notes or reminders.").arg(word);
    return section;
}

} // namespace

int list(Context& context) {
    QString error;
    const std::optional<Section> section = sectionArgument(context, error);
    if (!section || context.arguments.positional.size() != 1)
        return fail(error.isEmpty() ? QStringLiteral("ls takes one section.") : error, Usage);
    const QList<QStringList> records = readRecords(context.database(), *section);
    const SectionView& view = viewOf(*section);
    print(context.arguments.has(QStringLiteral("json")) ? listingJson(records, view) : listingText(records, view));
    return Done;
}

int show(Context& context) {
    QString error;
    const std::optional<Section> section = sectionArgument(context, error);
    if (!section || context.arguments.positional.size() != 2)
        return fail(error.isEmpty() ? QStringLiteral("show takes a section and a name.") : error, Usage);
    const SectionView& view = viewOf(*section);
    const QString name = context.arguments.positional.at(1);
    const QList<QStringList> found = recordsNamed(readRecords(context.database(), *section), view, name);
    if (found.isEmpty())
        return fail(QStringLiteral("%1 holds no record named \"%2\".").arg(sectionTitle(*section), name));
    const bool secrets = context.arguments.has(QStringLiteral("secrets"));
    print(context.arguments.has(QStringLiteral("json")) ? detailJson(found, view, secrets)
                                                        : detailText(found, view, secrets));
    return Done;
}

int search(Context& context) {
    if (context.arguments.positional.size() != 1)
        return fail(QStringLiteral("search takes one text."), Usage);
    const SearchQuery query = SearchQuery::parse(context.arguments.positional.at(0));
    if (query.isEmpty())
        return fail(QStringLiteral("search needs a text to find."), Usage);
    RecordSearch finder(context.database());
    const bool json = context.arguments.has(QStringLiteral("json"));
    QJsonArray hits;
    // Page through the hits a screenful at a time: a query that matches every
    // record never holds more than one page in memory.
    QList<SearchHit> page = finder.hits(query, HitsPerRead);
    while (!page.isEmpty()) {
        for (const SearchHit& hit : page) {
            const QString section = searchedTables().at(size_t(hit.tableIndex)).section;
            if (json)
                hits.append(QJsonObject{{QStringLiteral("section"), section},
                                        {QStringLiteral("name"), hit.name},
                                        {QStringLiteral("field"), hit.fieldLabel},
                                        {QStringLiteral("text"), hit.text}});
            else
                print(QStringLiteral("%1\t%2\t%3 %4\n").arg(section, hit.name, hit.fieldLabel, hit.text));
        }
        if (page.size() < HitsPerRead)
            break;
        const SearchHit last = page.last();
        page = finder.hits(query, HitsPerRead, &last);
    }
    if (json)
        print(QString::fromUtf8(QJsonDocument(hits).toJson(QJsonDocument::Indented)));
    return Done;
}

#include "Commands.h"

#include "Arguments.h"
#include "RecordOutput.h"
#include "Terminal.h"
#include "core/DataLocationPermissions.h"
#include "core/SignIn.h"
#include "exchange/ExchangeError.h"
#include "exchange/Exporter.h"
#include "exchange/Importer.h"
#include "generator/PasswordGenerator.h"
#include "search/RecordSearch.h"
#include "store/Migration.h"
#include "store/Schema.h"
#include "utility/DatabaseFiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <cstdio>

namespace {

enum Status { Done = 0, Failed = 1, Usage = 2, Refused = 3 };

// Hits read at a time by the search command.
constexpr int SearchPage = 50;

struct Context {
    Arguments arguments;
    QString folder; // holds password.mdb and pass2.mdb
    QString database() const { return QDir(folder).filePath(Schema::RecordDatabaseFile); }
};

void print(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int fail(const QString& message, Status status = Failed) {
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "quillmere-cli: %s\n", line.toUtf8().constData());
    return status;
}

QString jsonOf(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

QJsonObject countsJson(const SectionCounts& counts) {
    QJsonObject object;
    for (Section section : AllSections)
        object.insert(sectionWord(section), at(counts, section));
    return object;
}

std::optional<Section> sectionArgument(const Context& context, QString& error) {
    const QString word = context.arguments.positional.value(0);
    const std::optional<Section> section = sectionFromWord(word);
    if (!section)
        error = QStringLiteral("\"%1\" is no section: passwords, cards, personal, notes or reminders.").arg(word);
    return section;
}

// "Account=site,User=login": the fields of a section and the columns of a file.
std::optional<CsvFormats::ColumnMapping> mappingOf(Section section, const QString& text, const QStringList& header,
                                                   QString& error) {
    CsvFormats::ColumnMapping mapping{section, {}};
    const QStringList& fields = tableOf(section).fields;
    for (int i = 0; i < fields.size(); ++i)
        mapping.columns << -1;
    for (const QString& pair : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString field = pair.section(QLatin1Char('='), 0, 0).trimmed();
        const QString column = pair.section(QLatin1Char('='), 1).trimmed();
        const qsizetype fieldIndex = fields.indexOf(field);
        const qsizetype columnIndex = header.indexOf(column);
        if (fieldIndex < 0 || columnIndex < 0) {
            error = fieldIndex < 0 ? QStringLiteral("%1 has no field \"%2\".").arg(sectionTitle(section), field)
                                   : QStringLiteral("the file has no column \"%1\".").arg(column);
            return std::nullopt;
        }
        mapping.columns[fieldIndex] = int(columnIndex);
    }
    return mapping;
}

int importFile(Context& context) {
    const Arguments& a = context.arguments;
    if (a.positional.size() != 1)
        return fail(QStringLiteral("import needs the file to read."), Usage);
    ImportOptions options;
    if (a.values.contains(QStringLiteral("encoding"))) {
        options.encoding = encodingFromName(a.values.value(QStringLiteral("encoding")));
        if (!options.encoding)
            return fail(QStringLiteral("unknown encoding \"%1\".").arg(a.values.value(QStringLiteral("encoding"))),
                        Usage);
    }
    const QString path = a.positional.first();
    const FileKind kind = inspectFile(path, options);
    if (!kind.detected.certain)
        return fail(QStringLiteral("Line %1: %2 Name it with --encoding utf-8 (each byte that is not UTF-8 becomes "
                                   "U+FFFD) or --encoding windows-1252.")
                        .arg(kind.detected.line)
                        .arg(kind.detected.doubt()));
    options.encoding = kind.encoding; // found once, not again by each reading
    if (a.values.contains(QStringLiteral("section")) || a.values.contains(QStringLiteral("map"))) {
        const std::optional<Section> section = sectionFromWord(a.values.value(QStringLiteral("section")));
        if (!section)
            return fail(QStringLiteral("--section and --map go together; --section names the section."), Usage);
        QString error;
        options.mapping = mappingOf(*section, a.values.value(QStringLiteral("map")), kind.header, error);
        if (!options.mapping)
            return fail(error, Usage);
    } else if (kind.kind == FileKind::UnknownCsv) {
        return fail(QStringLiteral("the %1 columns of %2 are of no format the program knows; name the section with "
                                   "--section and the column of each field with --map \"Field=column,...\", each "
                                   "column as the file's first line names it.")
                        .arg(kind.header.size())
                        .arg(path));
    }
    const Importer importer(context.database());
    if (a.has(QStringLiteral("preview"))) {
        const Importer::Preview preview = importer.preview(path, options);
        if (a.has(QStringLiteral("json")))
            print(jsonOf({{"format", preview.format},
                          {"encoding", encodingName(preview.encoding)},
                          {"records", countsJson(preview.records)},
                          {"duplicates", countsJson(preview.duplicates)}}));
        else
            print(Importer::previewText(preview) + QLatin1Char('\n'));
        return Done;
    }
    const Importer::Result result = importer.run(path, options);
    if (a.has(QStringLiteral("json")))
        print(jsonOf({{"format", result.format},
                      {"imported", countsJson(result.imported)},
                      {"skipped", countsJson(result.skipped)}}));
    else
        print(Importer::resultText(result) + QLatin1Char('\n'));
    return Done;
}

int exportFile(Context& context) {
    const Arguments& a = context.arguments;
    const QString format = a.values.value(QStringLiteral("format"));
    if (a.positional.size() != 1 || (format != QLatin1String("json") && format != QLatin1String("csv")))
        return fail(QStringLiteral("export needs --format json or --format csv and the path to write."), Usage);
    const QString path = a.positional.first();
    const Exporter exporter(context.database());
    const SectionCounts counts = format == QLatin1String("json") ? exporter.writeJson(path) : exporter.writeCsv(path);
    if (a.has(QStringLiteral("json")))
        print(jsonOf({{"exported", countsJson(counts)}, {"path", path}}));
    else
        print(Exporter::resultText(counts, path) + QLatin1Char('\n'));
    return Done;
}

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
    QList<SearchHit> page = finder.hits(query, SearchPage);
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
        if (page.size() < SearchPage)
            break;
        const SearchHit last = page.last();
        page = finder.hits(query, SearchPage, &last);
    }
    if (json)
        print(QString::fromUtf8(QJsonDocument(hits).toJson(QJsonDocument::Indented)));
    return Done;
}

int generate(Context& context) {
    const Arguments& a = context.arguments;
    int length = 6;
    if (a.values.contains(QStringLiteral("length"))) {
        bool ok = false;
        length = a.values.value(QStringLiteral("length")).toInt(&ok);
        if (!ok || length < 1 || length > PasswordGenerator::MaxLength)
            return fail(QStringLiteral("--length takes a number from 1 to %1.").arg(PasswordGenerator::MaxLength),
                        Usage);
    }
    const QStringList kinds = a.values.value(QStringLiteral("characters"), QStringLiteral("upper,lower,digits"))
                                  .split(QLatin1Char(','), Qt::SkipEmptyParts);
    bool upper = false, lower = false, digits = false, all = false;
    for (const QString& kind : kinds) {
        bool& chosen = kind == QLatin1String("upper")    ? upper
                       : kind == QLatin1String("lower")  ? lower
                       : kind == QLatin1String("digits") ? digits
                       : kind == QLatin1String("all")    ? all
                                                         : all;
        if (kind != QLatin1String("upper") && kind != QLatin1String("lower") && kind != QLatin1String("digits") &&
            kind != QLatin1String("all"))
            return fail(QStringLiteral("--characters takes upper, lower, digits or all, separated by commas."), Usage);
        chosen = true;
    }
    if (kinds.isEmpty())
        return fail(QStringLiteral("--characters takes upper, lower, digits or all, separated by commas."), Usage);
    const int caseCode = upper && lower ? PasswordGenerator::BothCases
                         : upper        ? PasswordGenerator::Uppercase
                                        : PasswordGenerator::Lowercase;
    const int setCode = all ? PasswordGenerator::AllCharacters : PasswordGenerator::setCodeFor(upper || lower, digits);
    const QString password = PasswordGenerator().make(caseCode, length, setCode);
    print(a.has(QStringLiteral("json")) ? jsonOf({{"password", password}}) : password + QLatin1Char('\n'));
    return Done;
}

int fileOperation(Context& context, DatabaseFiles::Outcome (DatabaseFiles::*operation)(const QString&) const,
                  const QString& done) {
    if (context.arguments.positional.size() != 1)
        return fail(QStringLiteral("%1 needs a folder.").arg(context.arguments.command), Usage);
    const QString folder = context.arguments.positional.first();
    if (!QFileInfo(folder).isDir())
        return fail(QStringLiteral("the folder %1 does not exist.").arg(folder));
    const DatabaseFiles files(context.folder);
    const DatabaseFiles::Outcome outcome = (files.*operation)(QDir(folder).filePath(Schema::RecordDatabaseFile));
    if (!outcome.ok)
        return fail(outcome.error);
    print(done + QLatin1Char('\n'));
    return Done;
}

int backup(Context& context) {
    return fileOperation(context, &DatabaseFiles::backup, QStringLiteral("Backup has been saved."));
}

int restore(Context& context) {
    return fileOperation(context, &DatabaseFiles::restore,
                         QStringLiteral("Your backup copy of the database has been restored !"));
}

int repair(Context& context) {
    if (!context.arguments.positional.isEmpty())
        return fail(QStringLiteral("repair takes no arguments."), Usage);
    const DatabaseFiles::Outcome outcome = DatabaseFiles(context.folder).repair();
    if (!outcome.ok)
        return fail(outcome.error);
    print(QStringLiteral("DataBase has been repaired ! Its size is now %1.\n")
              .arg(DatabaseFiles::sizeText(DatabaseFiles(context.folder).databaseSize().value_or(0), QLocale::c())));
    // What the utility window tells too: records recovered and lost, where the damaged file is kept.
    if (!outcome.report.isEmpty())
        print(outcome.report + QLatin1Char('\n'));
    return Done;
}

struct Command {
    const char* name;
    const char* usage;
    const char* help;
    QSet<QString> values;
    QSet<QString> flags;
    bool signIn;
    int (*run)(Context&);
};

const std::vector<Command>& commands() {
    static const std::vector<Command> table{
        {"import",
         "import FILE [--encoding NAME] [--section SECTION --map FIELD=COLUMN,...] [--preview]",
         "Imports a Bitwarden JSON or CSV, KeePassXC, Chrome or Firefox export, or the program's own CSV. The "
         "format is told from the content. All of the file is imported, or nothing; records already stored are "
         "skipped. --preview shows what would be imported and writes nothing. A CSV file of another kind needs "
         "--section and --map. --encoding (utf-8, utf-16, windows-1252) overrides the detected encoding; a file "
         "that is neither valid UTF-8 nor marked as UTF-16 is refused until --encoding names its encoding.",
         {"encoding", "section", "map"},
         {"preview"},
         true,
         &importFile},
        {"export",
         "export --format json|csv PATH",
         "Exports every record: json writes one Bitwarden-compatible file at PATH; csv writes one file per section "
         "into the folder PATH. The files hold the passwords in plain text and are readable by their owner only.",
         {"format"},
         {},
         true,
         &exportFile},
        {"ls",
         "ls SECTION",
         "Lists the records of a section (passwords, cards, personal, notes, reminders) without their secrets.",
         {},
         {},
         true,
         &list},
        {"show",
         "show SECTION NAME [--secrets]",
         "Shows every field of the records named NAME. Passwords, card numbers and security codes are hidden "
         "unless --secrets is given.",
         {},
         {"secrets"},
         true,
         &show},
        {"search", "search TEXT", "Finds records in every section that hold the text.", {}, {}, true, &search},
        {"generate",
         "generate [--length N] [--characters upper,lower,digits,all]",
         "Makes a random password: six upper- and lower-case letters and digits unless told otherwise.",
         {"length", "characters"},
         {},
         false,
         &generate},
        {"backup", "backup DIR", "Copies password.mdb into the folder DIR.", {}, {}, true, &backup},
        {"restore",
         "restore DIR",
         "Copies password.mdb from the folder DIR over the program's database.",
         {},
         {},
         true,
         &restore},
        {"repair", "repair", "Compacts the database and checks it.", {}, {}, true, &repair},
    };
    return table;
}

const QSet<QString> CommonFlags{QStringLiteral("json"), QStringLiteral("password-stdin"), QStringLiteral("help")};
const QSet<QString> CommonValues{QStringLiteral("folder")};

QString overview() {
    QString text =
        QStringLiteral("Usage: quillmere-cli COMMAND [ARGUMENTS] [--json] [--password-stdin] [--folder DIR]\n"
                       "\nCommands:\n");
    for (const Command& command : commands())
        text += QStringLiteral("  %1\n").arg(QString::fromUtf8(command.usage));
    text += QStringLiteral(
        "\nEvery command but generate asks for the sign-in password on the terminal, or reads it from the first line\n"
        "of standard input with --password-stdin. --json prints results as JSON. --folder names the folder that\n"
        "holds password.mdb and pass2.mdb, in place of the program's data folder. COMMAND --help tells more.\n"
        "Exit status: 0 done, 1 failed, 2 wrong command line, 3 wrong password.\n");
    return text;
}

} // namespace

int runCommandLine(const QStringList& words, const std::function<QString(QString& error)>& locate) {
    const QString name = words.value(0);
    if (words.isEmpty() || name == QLatin1String("--help") || name == QLatin1String("help")) {
        print(overview());
        return words.isEmpty() ? Usage : Done;
    }
    const auto found = std::find_if(commands().begin(), commands().end(),
                                    [&](const Command& command) { return name == QLatin1String(command.name); });
    if (found == commands().end())
        return fail(QStringLiteral("unknown command \"%1\"; quillmere-cli --help lists them.").arg(name), Usage);
    const Command& command = *found;
    Context context;
    context.arguments = Arguments::parse(words, command.values + CommonValues, command.flags + CommonFlags);
    if (context.arguments.has(QStringLiteral("help"))) {
        print(QStringLiteral("Usage: quillmere-cli %1\n\n%2\n")
                  .arg(QString::fromUtf8(command.usage), QString::fromUtf8(command.help)));
        return Done;
    }
    if (!context.arguments.error.isEmpty())
        return fail(context.arguments.error, Usage);
    if (context.arguments.values.contains(QStringLiteral("folder"))) {
        context.folder = context.arguments.values.value(QStringLiteral("folder"));
        // Any folder of records is kept as private as the program's own.
        const QString privacy =
            DataLocationPermissions::makePrivate(context.folder, DataLocationPermissions::Kind::ProgramFolder);
        if (QFileInfo(context.folder).isDir() && !privacy.isEmpty())
            return fail(privacy);
    } else {
        QString error;
        context.folder = locate(error);
        if (!error.isEmpty())
            return fail(error);
    }
    // What a newer program wrote is read, never written.
    if (name == QLatin1String("import") || name == QLatin1String("repair")) {
        const QString newer = Migration::newerFileNotice(context.database());
        if (!newer.isEmpty())
            return fail(newer + QStringLiteral(" %1 would write it, so it is refused.").arg(name));
    }
    if (command.signIn) {
        QString error;
        const std::optional<QString> stored =
            SignIn::storedPassword(QDir(context.folder).filePath(Schema::PasswordStoreFile), &error);
        if (!stored)
            return fail(error);
        const std::optional<QString> typed =
            readPassword(context.arguments.has(QStringLiteral("password-stdin")), error);
        if (!typed)
            return fail(error, Usage);
        if (!SignIn::matches(*stored, *typed))
            return fail(QStringLiteral("the password is not correct."), Refused);
    }
    try {
        return command.run(context);
    } catch (const SearchIndexDamaged&) {
        return fail(QStringLiteral("the search index of %1 is damaged, so the search cannot be trusted; run "
                                   "quillmere-cli repair to build it again.")
                        .arg(context.database()));
    } catch (const ExchangeError& e) {
        return fail(e.message());
    } catch (const std::exception& e) {
        return fail(QString::fromUtf8(e.what()));
    }
}

#include "CommandRuns.h"
#include "FilePassword.h"
#include "Output.h"
#include "PasswordRecipe.h"
#include "core/SignIn.h"
#include "exchange/ExchangeError.h"
#include "exchange/Exporter.h"
#include "exchange/Importer.h"
#include "exchange/ProtectedExport.h"
#include "generator/PasswordGenerator.h"
#include "store/Schema.h"
#include "utility/DatabaseFiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <cstdio>

namespace {

// Passwords one generate makes at most.
constexpr int MaxPasswordsAtOnce = 100000;

QJsonObject countsJson(const SectionCounts& counts) {
    QJsonObject object;
    for (Section section : AllSections)
        object.insert(sectionWord(section), at(counts, section));
    return object;
}

// "Account=site,User=login,Line=extra": the fields of a section and the columns
// of a file. Every column that fills no field is kept as a labelled line.
std::optional<CsvFormats::ColumnMapping> mappingOf(Section section, const QString& text, const QStringList& header,
                                                   QString& error) {
    CsvFormats::ColumnMapping mapping{section, {}, {}};
    const QStringList& fields = tableOf(section).fields;
    for (int i = 0; i < fields.size(); ++i)
        mapping.columns << -1;
    for (const QString& pair : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString field = pair.section(QLatin1Char('='), 0, 0).trimmed();
        const QString column = pair.section(QLatin1Char('='), 1).trimmed();
        const bool line = field.compare(QLatin1String("Line"), Qt::CaseInsensitive) == 0;
        const qsizetype fieldIndex = fields.indexOf(field);
        const qsizetype columnIndex = header.indexOf(column);
        if ((fieldIndex < 0 && !line) || columnIndex < 0) {
            error = columnIndex >= 0 ? QStringLiteral("%1 has no field \"%2\".").arg(sectionTitle(section), field)
                                     : QStringLiteral("the file has no column \"%1\".").arg(column);
            return std::nullopt;
        }
        if (!line)
            mapping.columns[fieldIndex] = int(columnIndex);
    }
    mapping.lineColumns = CsvFormats::columnsFillingNoField(mapping, header.size());
    return mapping;
}

// Makes the folder, and any folder above it that is missing, readable by its
// owner only: what goes into it holds passwords. A folder that exists is left as it is.
void makeOwnerOnlyFolder(const QString& path) {
    const QFileInfo folder(path);
    if (folder.isDir())
        return;
    const QString parent = folder.absoluteDir().absolutePath();
    if (parent != folder.absoluteFilePath())
        makeOwnerOnlyFolder(parent);
    if (!QDir().mkdir(folder.absoluteFilePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
        !QFileInfo(path).isDir())
        fail(QStringLiteral("the folder %1 cannot be made.").arg(path));
}

} // namespace

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
    if (kind.passwordProtected)
        options.unlocked = ProtectedExport::unlock(path, filePassword(a, false));
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
    options.skipBadLines = a.has(QStringLiteral("skip-bad-lines"));
    const Importer importer(context.database());
    try {
        if (a.has(QStringLiteral("preview"))) {
            const Importer::Preview preview = importer.preview(path, options);
            if (a.has(QStringLiteral("json")))
                print(jsonOf({{"format", preview.format},
                              {"encoding", encodingName(preview.encoding)},
                              {"records", countsJson(preview.records)},
                              {"duplicates", countsJson(preview.duplicates)},
                              {"notices", QJsonArray::fromStringList(preview.notices)}}));
            else
                print(Importer::previewText(preview) + QLatin1Char('\n'));
            return Done;
        }
        const Importer::Result result = importer.run(path, options);
        if (a.has(QStringLiteral("json")))
            print(jsonOf({{"format", result.format},
                          {"imported", countsJson(result.imported)},
                          {"skipped", countsJson(result.skipped)},
                          {"notices", QJsonArray::fromStringList(result.notices)}}));
        else
            print(Importer::resultText(result) + QLatin1Char('\n'));
    } catch (const BadLineError& e) {
        throw ExchangeError(e.message() + QStringLiteral(" Nothing has been imported; --skip-bad-lines imports the "
                                                         "other lines."));
    }
    return Done;
}

int exportFile(Context& context) {
    const Arguments& a = context.arguments;
    const QString format = a.values.value(QStringLiteral("format"));
    const bool keepassxc = format == QLatin1String("keepassxc-csv");
    if (a.positional.size() != 1 || (format != QLatin1String("json") && format != QLatin1String("csv") && !keepassxc))
        return fail(QStringLiteral("export needs --format json, csv or keepassxc-csv and the path to write."), Usage);
    const QString path = a.positional.first();
    const bool protect = a.has(QStringLiteral("password-protected"));
    if (protect && format != QLatin1String("json"))
        return fail(QStringLiteral("--password-protected goes with --format json."), Usage);
    if (format == QLatin1String("csv"))
        makeOwnerOnlyFolder(path);
    const Exporter exporter(context.database());
    const SectionCounts counts = protect ? exporter.writeProtectedJson(path, filePassword(a, true))
                                 : format == QLatin1String("json") ? exporter.writeJson(path)
                                                                   : exporter.writeCsv(path);
    if (a.has(QStringLiteral("json")))
        print(jsonOf({{"exported", countsJson(counts)}, {"path", path}}));
    else
        print(Exporter::resultText(counts, path, protect) + QLatin1Char('\n'));
    return Done;
}

int generate(Context& context) {
    const Arguments& a = context.arguments;
    if (!a.positional.isEmpty())
        return fail(QStringLiteral("generate takes no arguments; --help tells its options."), Usage);
    int length = PasswordRecipe::DefaultLength;
    if (a.values.contains(QStringLiteral("length"))) {
        bool ok = false;
        length = a.values.value(QStringLiteral("length")).toInt(&ok);
        if (!ok || length < 1 || length > PasswordGenerator::MaxLength)
            return fail(QStringLiteral("--length takes a number from 1 to %1.").arg(PasswordGenerator::MaxLength),
                        Usage);
    }
    const QStringList kinds = a.values.value(QStringLiteral("characters"), QStringLiteral("upper,lower,digits"))
                                  .split(QLatin1Char(','), Qt::SkipEmptyParts);
    PasswordRecipe recipe;
    for (const QString& kind : kinds) {
        const std::optional<QString> characters = PasswordRecipe::charactersOf(kind.trimmed());
        if (!characters)
            return fail(QStringLiteral("--characters takes %1, separated by commas.")
                            .arg(PasswordRecipe::kindNames().join(QStringLiteral(", "))),
                        Usage);
        recipe.add(*characters);
    }
    if (recipe.isEmpty())
        return fail(QStringLiteral("--characters takes %1, separated by commas.")
                        .arg(PasswordRecipe::kindNames().join(QStringLiteral(", "))),
                    Usage);
    if (a.has(QStringLiteral("symbols")))
        recipe.add(*PasswordRecipe::charactersOf(QStringLiteral("symbols")));
    int count = 1;
    if (a.values.contains(QStringLiteral("count"))) {
        bool ok = false;
        count = a.values.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || count < 1 || count > MaxPasswordsAtOnce)
            return fail(QStringLiteral("--count takes a number from 1 to %1.").arg(MaxPasswordsAtOnce), Usage);
    }
    if (a.has(QStringLiteral("json"))) {
        if (count == 1)
            print(jsonOf({{"password", recipe.make(length)}}));
        else {
            QJsonArray passwords;
            for (int i = 0; i < count; ++i)
                passwords << recipe.make(length);
            print(jsonOf({{"passwords", passwords}}));
        }
        return Done;
    }
    for (int i = 0; i < count; ++i)
        print(recipe.make(length) + QLatin1Char('\n'));
    return Done;
}

static int fileOperation(Context& context, DatabaseFiles::Outcome (DatabaseFiles::*operation)(const QString&) const,
                         const QString& done) {
    if (context.arguments.positional.size() != 1)
        return fail(QStringLiteral("%1 needs a folder.").arg(context.arguments.command), Usage);
    const QString folder = context.arguments.positional.first();
    if (operation == &DatabaseFiles::backup)
        makeOwnerOnlyFolder(folder);
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

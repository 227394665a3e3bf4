#include "CommandRuns.h"

const QList<OptionDefinition>& commonOptions() {
    static const QList<OptionDefinition> options{
        {"json", "", "Prints the result, and any failure, as JSON."},
        {"password-stdin", "", "Reads the sign-in password from the first line of standard input."},
        {"folder", "DIR", "Uses the password.mdb and pass2.mdb in DIR instead of the program's data folder."},
        {"help", "", "Tells what the command does and which options it takes.", "h"},
        {"version", "", "Prints the program's version."},
    };
    return options;
}

const QList<CommandDefinition>& commandDefinitions() {
    static const QList<CommandDefinition> commands{
        {
            .name = "import",
            .arguments = "FILE",
            .summary = "Imports the records of a file from another password manager or a CSV file.",
            .description =
                "Imports a Bitwarden JSON or CSV, KeePassXC, KeePass, Chrome, Firefox, LastPass, NordPass, Proton "
                "Pass, 1Password or Dashlane export, or the program's own CSV. The format is told from the content. "
                "A column that fills no field is kept as a labelled line in the record's remarks. All of the file "
                "is imported, or nothing; records already stored are skipped. A CSV file of another kind needs "
                "--section and --map, which any CSV file may be given. A password-protected Bitwarden export is "
                "read with its password, asked on the terminal; an export encrypted with a Bitwarden account's own "
                "key (\"account restricted\") is refused.",
            .options =
                {
                    {"encoding", "NAME",
                     "Reads the file in this encoding (utf-8, utf-16, windows-1252) instead of "
                     "the one detected."},
                    {"section", "SECTION", "The section a CSV file of another kind goes to (with --map)."},
                    {"map", "FIELD=COLUMN,...",
                     "The column of the file that fills each field of the section; Line=COLUMN keeps a column as a "
                     "labelled line, as every column that fills no field is kept."},
                    {"skip-bad-lines", "",
                     "Leaves out each line of more or fewer values than the header, and names them, instead of "
                     "importing nothing."},
                    {"preview", "", "Shows what would be imported, and writes nothing."},
                    {"file-password-stdin", "",
                     "Reads the password of a password-protected export from the next line of standard input (after "
                     "the sign-in password's line with --password-stdin) instead of asking on the terminal."},
                },
            .example = "quillmere-cli import bitwarden_export.json --preview",
            .appendix = HelpAppendix::MapFields,
            .run = &importFile,
        },
        {
            .name = "export",
            .arguments = "PATH",
            .summary = "Writes every record to a JSON file or to one CSV file per section.",
            .description = "Exports every record: json writes one Bitwarden-compatible file at PATH; csv writes one "
                           "file per section into the folder PATH, made when it does not exist; keepassxc-csv writes "
                           "one file at PATH that KeePassXC imports as it is. The files, and the "
                           "folders made for them, hold the passwords in plain text and are readable by their "
                           "owner only, unless --password-protected encrypts the JSON file.",
            .options = {{"format", "json|csv|keepassxc-csv", "The kind of file to write.", "", true},
                        {"password-protected", "",
                         "Writes Bitwarden's password-protected JSON export (Argon2id): the records are encrypted "
                         "with a password asked on the terminal, twice, and Bitwarden or this program reads them "
                         "with it."},
                        {"file-password-stdin", "",
                         "Reads that password from the next line of standard input (after the sign-in password's "
                         "line with --password-stdin)."}},
            .example = "quillmere-cli export --format csv ~/quillmere-export",
            .run = &exportFile,
        },
        {
            .name = "ls",
            .arguments = "SECTION",
            .summary = "Lists the records of a section, each with its id.",
            .description = "Lists the records of a section (passwords, cards, personal, notes or reminders) in their "
                           "stored order, one per line: the record's id, then the fields it is known by, separated "
                           "by tabs (tabs and line ends within a field become blanks). Secrets are never listed. "
                           "With --json, an array of objects with the id and those fields.",
            .example = "quillmere-cli ls passwords",
            .appendix = HelpAppendix::ListedFields,
            .run = &list,
        },
        {
            .name = "show",
            .arguments = "SECTION NAME|ID",
            .summary = "Shows every field of one record.",
            .description =
                "Shows every field of one record, after its id. The record is named by its id, as ls, search and "
                "--json print it, or by a field ls lists: exactly, else in any letter case. A word of digits is "
                "an id when a record has that id. When several records bear the name, nothing is shown and their "
                "ids are told. A name of one or two characters is looked for in the name fields (Account, Type Card, "
                "Bank Name, Full Name, Title, Date) only. Passwords, card numbers and security codes are hidden unless "
                "--secrets is given.",
            .options = {{"secrets", "", "Prints passwords, card numbers and security codes too."},
                        {"history", "",
                         "Prints after the record the versions of it that lost a merge with a copy changed on "
                         "another computer, newest first."}},
            .example = "quillmere-cli show passwords 12 --secrets",
            .run = &show,
        },
        {
            .name = "add",
            .arguments = "SECTION FIELD=VALUE...",
            .summary = "Adds a record and prints its id.",
            .description = "Adds a record to a section with the fields given, each named as the section's table "
                           "names it (passwords: Account, Website, User, Password, Notes), and prints its id. With "
                           "--json, an object with the id and the identity the record has on every computer.",
            .example = "quillmere-cli add passwords Account=Garden Club User=robin",
            .run = &addRecord,
        },
        {
            .name = "edit",
            .arguments = "SECTION NAME|ID FIELD=VALUE...",
            .summary = "Changes fields of one record.",
            .description = "Changes the fields given of one record, named by its id, its identity or a field ls "
                           "lists. A name several records bear is refused (exit status 2) with their ids: no "
                           "change lands on a record that was not meant.",
            .example = "quillmere-cli edit passwords Webmail Password=Heron#2027",
            .run = &editRecord,
        },
        {
            .name = "rm",
            .arguments = "SECTION NAME|ID",
            .summary = "Deletes one record.",
            .description = "Deletes one record, named by its id, its identity or a field ls lists. A name several "
                           "records bear is refused (exit status 2) with their ids.",
            .example = "quillmere-cli rm notes 7",
            .run = &removeRecord,
        },
        {
            .name = "merge",
            .arguments = "FILE",
            .summary = "Merges a copy of the database changed on another computer.",
            .description = "Merges the records of a copy of password.mdb that was changed on another computer: "
                           "records are matched by their identity, the later change of each wins, and the version "
                           "that lost is kept (show --history). A damaged copy is refused and nothing is written. "
                           "Prints the records added, updated and deleted per section.",
            .example = "quillmere-cli merge ~/laptop/password.mdb",
            .run = &mergeCopy,
        },
        {
            .name = "search",
            .arguments = "TEXT",
            .summary = "Finds the records of every section that hold a text.",
            .description = "Finds the records of every section that hold every word of the text, in any letter "
                           "case. Prints a line per hit with the section, the record's id, its name, the field "
                           "that holds the text and the line of it that does, separated by tabs. Secrets are "
                           "never searched.",
            .example = "quillmere-cli search bank",
            .run = &search,
        },
        {
            .name = "generate",
            .arguments = "",
            .summary = "Makes a random password.",
            .description = "Makes a random password of 20 upper- and lower-case letters and digits unless told "
                           "otherwise, each kind of character at least once. It holds printable ASCII "
                           "characters only, never a blank or a control character. Needs no password.",
            .options =
                {
                    {"length", "N", "The number of characters, from 1 to 4096."},
                    {"symbols", "", "Adds the punctuation of printable ASCII: !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"},
                    {"characters", "KINDS",
                     "The kinds to draw from instead of letters and digits, separated by "
                     "commas: upper, lower, digits, symbols, or all four."},
                    {"count", "N", "Makes N passwords, one per line (with --json, an array \"passwords\")."},
                },
            .example = "quillmere-cli generate --length 32 --symbols",
            .signIn = false,
            .run = &generate,
        },
        {
            .name = "backup",
            .arguments = "DIR",
            .summary = "Copies the record database into a folder.",
            .description = "Copies password.mdb into the folder DIR, made readable by its owner only when it "
                           "does not exist.",
            .example = "quillmere-cli backup /media/usb/quillmere",
            .run = &backup,
        },
        {
            .name = "restore",
            .arguments = "DIR",
            .summary = "Puts a backup copy of the record database back.",
            .description = "Copies password.mdb from the folder DIR over the program's database.",
            .example = "quillmere-cli restore /media/usb/quillmere",
            .run = &restore,
        },
        {
            .name = "repair",
            .arguments = "",
            .summary = "Compacts the record database and checks it.",
            .description = "Compacts the database and checks it.",
            .example = "quillmere-cli repair",
            .run = &repair,
        },
        {
            .name = "browser-setup",
            .arguments = "",
            .summary = "Lets the KeePassXC-Browser extension fill web logins from Quillmere.",
            .description =
                "Writes the native-messaging manifests org.keepassxc.keepassxc_browser.json of the current user for "
                "Firefox, Chromium and Google Chrome, pointing at quillmere-browser-host beside this program. Only "
                "one program can serve the extension in a browser: a manifest of another program is kept unless "
                "--replace is given. The first connection of a browser and the first request of each site are "
                "then asked about in the running program.",
            .options =
                {
                    {"replace", "", "Replaces the manifests of another program too."},
                    {"remove", "", "Removes Quillmere's manifests, and no other."},
                },
            .example = "quillmere-cli browser-setup",
            .signIn = false,
            .run = &browserSetup,
        },
        {
            .name = "browser-list",
            .arguments = "",
            .summary = "Lists the browser connections and the remembered decisions.",
            .description = "Lists the browser connections the user allowed, by name, with when each was made and "
                           "last used, then the remembered decisions: the site, the record's id, its account name "
                           "and whether the site may fill it.",
            .example = "quillmere-cli browser-list",
            .run = &browserList,
        },
        {
            .name = "browser-forget",
            .arguments = "NAME",
            .summary = "Forgets a browser connection, or the decisions of a site.",
            .description = "Forgets the browser connection of that name: that browser must connect again, and the "
                           "user is asked again. With --site, NAME is a site as browser-list shows it, and its "
                           "remembered decisions are forgotten instead.",
            .options = {{"site", "", "NAME is a site whose remembered decisions are forgotten."}},
            .example = "quillmere-cli browser-forget Firefox",
            .run = &browserForget,
        },
    };
    return commands;
}

const CommandDefinition* findCommand(const QString& name) {
    for (const CommandDefinition& command : commandDefinitions()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

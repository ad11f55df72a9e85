#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <algorithm>
#include <array>

#include "journal/JournalDate.h"

namespace ks::cli {

namespace {

// The names `show -a` takes, in any letter case (those of the field's usual command-line
// reader where one maps: title, username, password, notes).
constexpr std::array<std::pair<const char*, RecordAttribute>, 6> kAttributeNames = {{
    {"title", RecordAttribute::Title},
    {"username", RecordAttribute::UserName},
    {"password", RecordAttribute::Password},
    {"description", RecordAttribute::Description},
    {"notes", RecordAttribute::Notes},
    {"category", RecordAttribute::Category},
}};

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption readStdin{QStringLiteral("stdin")};
    QCommandLineOption dataFolder{QStringLiteral("data-folder"), QString(), QStringLiteral("DIR")};
    QCommandLineOption from{QStringLiteral("from"), QString(), QStringLiteral("DAY")};
    QCommandLineOption to{QStringLiteral("to"), QString(), QStringLiteral("DAY")};
    QCommandLineOption format{QStringLiteral("format"), QString(), QStringLiteral("FORMAT")};
    QCommandLineOption showProtected{{QStringLiteral("s"), QStringLiteral("show-protected")}};
    QCommandLineOption attributes{{QStringLiteral("a"), QStringLiteral("attributes")},
                                  QString(),
                                  QStringLiteral("ATTRIBUTE")};
    QCommandLineOption json{QStringLiteral("json")};
    QCommandLineOption title{
        {QStringLiteral("t"), QStringLiteral("title")}, QString(), QStringLiteral("SHORTNAME")};
    QCommandLineOption userName{
        {QStringLiteral("u"), QStringLiteral("username")}, QString(), QStringLiteral("USER")};
    QCommandLineOption category{
        {QStringLiteral("c"), QStringLiteral("category")}, QString(), QStringLiteral("CATEGORY")};
    QCommandLineOption notes{QStringLiteral("notes"), QString(), QStringLiteral("TEXT")};
    QCommandLineOption askPassword{{QStringLiteral("p"), QStringLiteral("password-prompt")}};
    QCommandLineOption dryRun{QStringLiteral("dry-run")};

    Parser() {
        parser.addOptions({help, version, readStdin, dataFolder, from, to, format, showProtected,
                           attributes, json, title, userName, category, notes, askPassword,
                           dryRun});
    }
};

bool takeDay(const QString& text, QDate& day, QString& error) {
    const std::optional<QDate> parsed = parseDay(text, QDate::currentDate());
    if (!parsed) {
        error = QStringLiteral("Not a day: %1").arg(text);
        return false;
    }
    day = *parsed;
    return true;
}

// The days of journal-export: --from DAY and --to DAY, both required.
bool readExportRange(const Parser& p, CliOptions& options, QString& error) {
    if (!p.parser.isSet(p.from) || !p.parser.isSet(p.to)) {
        error = QStringLiteral("journal-export needs --from DAY and --to DAY.");
        return false;
    }
    if (!takeDay(p.parser.value(p.from), options.from, error) ||
        !takeDay(p.parser.value(p.to), options.to, error)) {
        return false;
    }
    if (options.from > options.to) {
        error = QStringLiteral("The first day comes after the last.");
        return false;
    }
    const QString format = p.parser.value(p.format);
    if (format == QStringLiteral("json")) {
        options.journalFormat = JournalFormat::Json;
    } else if (!format.isEmpty() && format != QStringLiteral("md")) {
        error = QStringLiteral("Unknown format: %1 (md or json)").arg(format);
        return false;
    }
    return true;
}

bool readAttributes(const QStringList& names, CliOptions& options, QString& error) {
    for (const QString& name : names) {
        const auto known = std::find_if(
            kAttributeNames.cbegin(), kAttributeNames.cend(),
            [&name](const auto& entry) { return name.toLower() == QLatin1String(entry.first); });
        if (known == kAttributeNames.cend()) {
            error = QStringLiteral(
                        "Unknown attribute: %1 (title, username, password, "
                        "description, notes or category)")
                        .arg(name);
            return false;
        }
        options.attributes.append(known->second);
    }
    return true;
}

bool readCommand(const QStringList& words, CliOptions& options, QString& error) {
    const QString& name = words.first();
    const qsizetype extra = words.size() - 1;
    if (name == QStringLiteral("ls") && extra <= 1) {
        options.command = Command::List;
        options.argument = extra == 1 ? words.at(1) : QString();
        return true;
    }
    if (name == QStringLiteral("show") && extra == 1) {
        options.command = Command::Show;
        options.argument = words.at(1);
        return true;
    }
    if (name == QStringLiteral("journal") && extra == 1) {
        options.command = Command::Journal;
        return takeDay(words.at(1), options.day, error);
    }
    const std::pair<const char*, Command> oneName[] = {
        {"add", Command::Add}, {"edit", Command::Edit}, {"rm", Command::Remove}};
    for (const auto& [word, command] : oneName) {
        if (name == QLatin1String(word) && extra == 1) {
            options.command = command;
            options.argument = words.at(1);
            return true;
        }
    }
    if (name == QStringLiteral("journal-add") && extra == 1) {
        options.command = Command::JournalAdd;
        return takeDay(words.at(1), options.day, error);
    }
    if (name == QStringLiteral("merge") && extra == 1) {
        options.command = Command::Merge;
        options.argument = words.at(1);
        return true;
    }
    if (name == QStringLiteral("sync") && extra <= 1) {
        options.command = Command::Sync;
        options.argument = extra == 1 ? words.at(1) : QString();
        return true;
    }
    if ((name == QStringLiteral("import-csv") || name == QStringLiteral("export-csv")) &&
        extra == 1) {
        options.command =
            name == QStringLiteral("import-csv") ? Command::ImportCsv : Command::ExportCsv;
        options.argument = words.at(1);
        return true;
    }
    if (name == QStringLiteral("journal-export") && extra == 0) {
        options.command = Command::JournalExport;
        return true;
    }
    error = QStringLiteral("Unknown command or wrong arguments: %1").arg(words.join(u' '));
    return false;
}

// The values of add and edit; false when one is given to another command.
bool readChanges(const Parser& p, CliOptions& options, QString& error) {
    const QCommandLineParser& parser = p.parser;
    const bool editing = options.command == Command::Add || options.command == Command::Edit;
    RecordChanges& changes = options.changes;
    for (const auto& [option, value] :
         {std::pair{&p.userName, &changes.userName}, std::pair{&p.category, &changes.category},
          std::pair{&p.notes, &changes.notes}, std::pair{&p.title, &changes.shortName}}) {
        if (parser.isSet(*option)) {
            *value = parser.value(*option);
        }
    }
    changes.askPassword = parser.isSet(p.askPassword);
    if (!editing && (changes.userName || changes.category || changes.notes || changes.askPassword ||
                     changes.shortName)) {
        error = QStringLiteral("-u, -c, --notes and -p go only with add and edit.");
        return false;
    }
    if (options.command != Command::Edit && changes.shortName) {
        error = QStringLiteral("-t goes only with edit.");
        return false;
    }
    const bool jsonCommand = options.command == Command::List || options.command == Command::Show ||
                             options.command == Command::Journal;
    options.json = parser.isSet(p.json);
    if (options.json && !jsonCommand) {
        error = QStringLiteral("--json goes only with ls, show and journal.");
        return false;
    }
    return true;
}

// Options that belong to one command only.
bool checkCommandOptions(const Parser& p, CliOptions& options, QString& error) {
    const QCommandLineParser& parser = p.parser;
    if (!readChanges(p, options, error)) {
        return false;
    }
    if (options.command != Command::Show &&
        (parser.isSet(p.showProtected) || parser.isSet(p.attributes))) {
        error = QStringLiteral("-s and -a go only with show.");
        return false;
    }
    options.dryRun = parser.isSet(p.dryRun);
    if (options.dryRun && options.command != Command::Merge) {
        error = QStringLiteral("--dry-run goes only with merge.");
        return false;
    }
    if (options.command == Command::Show) {
        options.showProtected = parser.isSet(p.showProtected);
        return readAttributes(parser.values(p.attributes), options, error);
    }
    if (options.command == Command::JournalExport) {
        return readExportRange(p, options, error);
    }
    if (parser.isSet(p.from) || parser.isSet(p.to) || parser.isSet(p.format)) {
        error = QStringLiteral("--from, --to and --format go only with journal-export.");
        return false;
    }
    return true;
}

}  // namespace

bool writesData(Command command) {
    return command == Command::ImportCsv || command == Command::Add || command == Command::Edit ||
           command == Command::Remove || command == Command::JournalAdd ||
           command == Command::Merge || command == Command::Sync;
}

std::optional<QDate> parseDay(const QString& text, QDate today) {
    if (text == QStringLiteral("today")) {
        return today;
    }
    if (const QDate iso = QDate::fromString(text, Qt::ISODate); iso.isValid()) {
        return iso;
    }
    return readJournalDate(text);
}

std::optional<CliOptions> parseArguments(const QStringList& arguments, QString& error) {
    Parser p;
    if (!p.parser.parse(QStringList{QStringLiteral("keystead-cli")} + arguments)) {
        error = p.parser.errorText();
        return std::nullopt;
    }
    CliOptions options;
    if (p.parser.isSet(p.help) || p.parser.isSet(p.version)) {
        options.command = p.parser.isSet(p.help) ? Command::Help : Command::Version;
        return options;
    }
    options.readStdin = p.parser.isSet(p.readStdin);
    if (p.parser.isSet(p.dataFolder)) {
        options.dataFolder = p.parser.value(p.dataFolder);
        if (options.dataFolder.isEmpty()) {
            error = QStringLiteral("--data-folder needs a folder.");
            return std::nullopt;
        }
    }
    const QStringList words = p.parser.positionalArguments();
    if (words.isEmpty()) {
        error = QStringLiteral("No command given.");
        return std::nullopt;
    }
    if (!readCommand(words, options, error) || !checkCommandOptions(p, options, error)) {
        return std::nullopt;
    }
    return options;
}

QString versionText() {
    return QStringLiteral("keystead-cli " KEYSTEAD_VERSION "\n");
}

QString usageText() {
    return QStringLiteral(
        "Usage: keystead-cli [--stdin] [--data-folder DIR] COMMAND\n"
        "       keystead-cli --help | --version\n"
        "Reads and changes a Keystead vault from the terminal.\n"
        "\n"
        "Commands:\n"
        "  ls [CATEGORY]                         list the short names of your records\n"
        "  show [-s] [-a ATTRIBUTE]... SHORTNAME show one record (the password hidden)\n"
        "  journal DAY                           print the journal entry of a day\n"
        "  journal-export --from DAY --to DAY [--format md|json]\n"
        "                                        print the entries of those days as Markdown\n"
        "                                        (one heading a day) or JSON\n"
        "  add SHORTNAME [-u USER] [-c CATEGORY] [--notes TEXT] [-p]\n"
        "                                        add a record (-p: ask for its password)\n"
        "  edit SHORTNAME [-t NEWNAME] [-u USER] [-c CATEGORY] [--notes TEXT] [-p]\n"
        "                                        change the values given of a record\n"
        "  rm SHORTNAME                          delete a record\n"
        "  journal-add DAY                       write the entry of a day that has none, its\n"
        "                                        text read from standard input\n"
        "  import-csv FILE                       add the records of a CSV file (KeePassXC,\n"
        "                                        Bitwarden, Firefox, Chrome or other columns)\n"
        "  export-csv FILE                       write your records as KeePassXC's CSV (0600)\n"
        "  merge FILE [--dry-run]                merge another Keystead database (another\n"
        "                                        machine's Data.mdb, a data.ksd export) into\n"
        "                                        this one, every account in it; print what\n"
        "                                        changed\n"
        "  sync [SYNC-FOLDER]                    apply the other machines' changes in the sync\n"
        "                                        folder (by default the one chosen in Options),\n"
        "                                        then write this machine's; print both\n"
        "\n"
        "Options:\n"
        "  --stdin                  read the login name and password as the first two lines\n"
        "                           of standard input instead of asking on the terminal\n"
        "  --data-folder DIR        use the data folder DIR (the folder holding Data.mdb)\n"
        "  -s, --show-protected     show: print the password in clear\n"
        "  -a, --attributes NAME    show: print only that value (title, username, password,\n"
        "                           description, notes, category); may be given again\n"
        "  -t, --title NAME         edit: the record's new short name\n"
        "  -u, --username USER      add, edit: the record's user name\n"
        "  -c, --category NAME      add, edit: the record's category (a new one is added)\n"
        "  --notes TEXT             add, edit: the record's notes\n"
        "  -p, --password-prompt    add, edit: ask for the record's password (twice, hidden);\n"
        "                           with --stdin it is the line after the login's two\n"
        "  --json                   ls, show, journal: print JSON\n"
        "  --dry-run                merge: print what the merge would change, change nothing\n"
        "  -h, --help               print this text\n"
        "  --version                print the version\n"
        "\n"
        "DAY is yyyy-mm-dd, dd/mm/yyyy or \"today\"; --from=DAY and --to=DAY work too.\n"
        "Control characters in stored text are printed as escapes (\\e, \\r, \\x07 ...).\n"
        "\n"
        "Commands that change the vault run only while Keystead itself is not running on the\n"
        "data folder.\n"
        "\n"
        "Exit status: 0 done, 1 refused (login, nothing found, Keystead running), 2 error.\n");
}

}  // namespace ks::cli

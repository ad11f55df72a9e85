#include "cli/CliOptions.h"

#include "journal/JournalDate.h"

namespace ks::cli {

namespace {

const QString kStdin = QStringLiteral("--stdin");
const QString kFrom = QStringLiteral("--from");
const QString kTo = QStringLiteral("--to");

bool takeDay(const QStringList& words, qsizetype& at, QDate& day, QString& error) {
    if (at + 1 >= words.size()) {
        error = QStringLiteral("%1 needs a day.").arg(words.at(at));
        return false;
    }
    const std::optional<QDate> parsed = parseDay(words.at(at + 1), QDate::currentDate());
    if (!parsed) {
        error = QStringLiteral("Not a day: %1").arg(words.at(at + 1));
        return false;
    }
    day = *parsed;
    at += 2;
    return true;
}

// The options of journal-export: --from DAY --to DAY, both required, in either order.
bool readExportRange(const QStringList& words, CliOptions& options, QString& error) {
    bool haveFrom = false;
    bool haveTo = false;
    for (qsizetype at = 1; at < words.size();) {
        if (words.at(at) == kFrom) {
            haveFrom = takeDay(words, at, options.from, error);
            if (!haveFrom) {
                return false;
            }
        } else if (words.at(at) == kTo) {
            haveTo = takeDay(words, at, options.to, error);
            if (!haveTo) {
                return false;
            }
        } else {
            error = QStringLiteral("Unexpected argument: %1").arg(words.at(at));
            return false;
        }
    }
    if (!haveFrom || !haveTo) {
        error = QStringLiteral("journal-export needs --from DAY and --to DAY.");
        return false;
    }
    if (options.from > options.to) {
        error = QStringLiteral("The first day comes after the last.");
        return false;
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
        const std::optional<QDate> day = parseDay(words.at(1), QDate::currentDate());
        if (!day) {
            error = QStringLiteral("Not a day: %1").arg(words.at(1));
            return false;
        }
        options.day = *day;
        return true;
    }
    if (name == QStringLiteral("journal-export")) {
        options.command = Command::JournalExport;
        return readExportRange(words, options, error);
    }
    error = QStringLiteral("Unknown command or wrong arguments: %1").arg(words.join(u' '));
    return false;
}

}  // namespace

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
    CliOptions options;
    QStringList words;
    for (const QString& argument : arguments) {
        if (argument == QStringLiteral("--help") || argument == QStringLiteral("-h")) {
            options.command = Command::Help;
            return options;
        }
        if (argument == QStringLiteral("--version") || argument == QStringLiteral("-v")) {
            options.command = Command::Version;
            return options;
        }
        if (argument == kStdin) {
            options.readStdin = true;
        } else {
            words.append(argument);
        }
    }
    if (words.isEmpty()) {
        error = QStringLiteral("No command given.");
        return std::nullopt;
    }
    if (!readCommand(words, options, error)) {
        return std::nullopt;
    }
    return options;
}

QString usageText() {
    return QStringLiteral(
        "Usage: keystead-cli [--stdin] COMMAND\n"
        "       keystead-cli --help | --version\n"
        "Reads a Keystead vault without changing it.\n"
        "\n"
        "Commands:\n"
        "  ls [CATEGORY]                         list the short names of your records\n"
        "  show SHORTNAME                        show one record, password included\n"
        "  journal DAY                           print the journal entry of a day\n"
        "  journal-export --from DAY --to DAY    print the entries of those days as Markdown\n"
        "\n"
        "DAY is yyyy-mm-dd, dd/mm/yyyy or \"today\".\n"
        "The login name and password are asked for on the terminal; with --stdin they are\n"
        "read as the first two lines of standard input.\n"
        "\n"
        "Exit status: 0 done, 1 refused (login or nothing found), 2 error.\n");
}

}  // namespace ks::cli

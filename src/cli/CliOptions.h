#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "interchange/JournalFormats.h"

namespace ks::cli {

// The exit codes of the companion.
enum ExitCode {
    kDone = 0,
    kRefused = 1,  // a login or a request the data refuses (wrong password, nothing found)
    kError = 2,    // bad arguments, a missing, unreadable or untrusted database
};

enum class Command {
    Help,
    Version,
    List,
    Show,
    Journal,
    JournalExport,
    ImportCsv,
    ExportCsv,
    Add,
    Edit,
    Remove,
    JournalAdd,
    Merge,
    Sync,
};

// What `add` and `edit` set; a value not given is left as it is (empty for `add`).
struct RecordChanges {
    std::optional<QString> shortName;  // `edit -t`
    std::optional<QString> userName;
    std::optional<QString> category;
    std::optional<QString> notes;
    bool askPassword = false;  // `-p`
};

// Whether a command changes the data folder: it then runs only while no window program holds
// the folder.
bool writesData(Command command);

// The values of a record that `show -a` prints on their own.
enum class RecordAttribute { Title, UserName, Password, Description, Notes, Category };

struct CliOptions {
    Command command = Command::Help;
    QString argument;  // the category of `ls`, the short name of `show`, the file of a CSV command
                       // or of `merge`, the folder of `sync`
    QDate day;         // `journal`
    QDate from;        // `journal-export`
    QDate to;
    JournalFormat journalFormat = JournalFormat::Markdown;  // `journal-export --format`
    bool readStdin = false;      // name and password come as the first two lines of standard input
    QString dataFolder;          // the folder that holds Data.mdb, when not the usual one
    bool showProtected = false;  // `show` prints the password in clear
    QList<RecordAttribute> attributes;  // `show` prints only these values, in this order
    bool json = false;                  // `ls`, `show`, `journal` print JSON
    RecordChanges changes;              // `add`, `edit`
    bool dryRun = false;                // `merge`: only tell what would change
};

// Reads the arguments (without the program's name); nullopt with `error` set when they are
// not understood.
std::optional<CliOptions> parseArguments(const QStringList& arguments, QString& error);

// A day given as yyyy-mm-dd, as the journal's dd/mm/yyyy, or as "today".
std::optional<QDate> parseDay(const QString& text, QDate today);

// What --help prints.
QString usageText();
// What --version prints.
QString versionText();

}  // namespace ks::cli

#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace ks::cli {

// The exit codes of the companion.
enum ExitCode {
    kDone = 0,
    kRefused = 1,  // a login or a request the data refuses (wrong password, nothing found)
    kError = 2,    // bad arguments, a missing or unreadable database
};

enum class Command { Help, Version, List, Show, Journal, JournalExport };

struct CliOptions {
    Command command = Command::Help;
    QString argument;  // the category of `ls`, the short name of `show`
    QDate day;         // `journal`
    QDate from;        // `journal-export`
    QDate to;
    bool readStdin = false;  // name and password come as the first two lines of standard input
};

// Reads the arguments (without the program's name); nullopt with `error` set when they are
// not understood.
std::optional<CliOptions> parseArguments(const QStringList& arguments, QString& error);

// A day given as yyyy-mm-dd, as the journal's dd/mm/yyyy, or as "today".
std::optional<QDate> parseDay(const QString& text, QDate today);

// What --help prints.
QString usageText();

}  // namespace ks::cli

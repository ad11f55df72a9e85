#pragma once

#include <QString>
#include <QTextStream>
#include <optional>

#include "core/Dialogs.h"

namespace ks::cli {

// Standard output and standard error as text streams (UTF-8).
QTextStream& out();
QTextStream& err();

// Writes a message of the program to standard error, one line per line of the message.
void tell(const QString& message);

// The login name and password: from the terminal (the password without echo), or, with
// `fromStdin`, the first two lines of standard input. nullopt when input ends early.
struct Credentials {
    QString name;
    QString password;
};
std::optional<Credentials> readCredentials(bool fromStdin);

// A record's password: the next line of standard input with `fromStdin`; otherwise asked on
// the terminal without echo, twice, and refused ("Passwords entered were not identical") when
// the two differ. nullopt when input ends early or the two differ (said why).
std::optional<QString> readRecordPassword(bool fromStdin);

// Everything left on standard input, as UTF-8 text (a journal entry).
QString readRemainingInput();

// The cipher's messages on standard error; every question is answered No.
class ConsoleDialogs : public Dialogs {
public:
    void message(MessageIcon icon, const QString& title, const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& initial) override;
    QString openFile(const QString& title, const QStringList& filters) override;
    QString chooseFolder(const QString& title, const QString& start) override;
};

}  // namespace ks::cli

#include "cli/ConsoleIo.h"

#include <QStringList>

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "cli/OutputText.h"
#include "vault/RecordMessages.h"

namespace ks::cli {

namespace {

std::optional<QString> readLine() {
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return QString::fromStdString(line);
}

// Reads one line from the terminal with its echo switched off.
std::optional<QString> readHiddenLine() {
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) != 0 && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::optional<QString> line = readLine();
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err() << Qt::endl;
    }
    return line;
}

}  // namespace

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

void tell(const QString& message) {
    // Lines of a message are separated by "\r"; a terminal wants "\n". What a message quotes
    // (a name typed, a path) never reaches the terminal as control characters.
    QStringList lines = message.split(QLatin1Char('\r'));
    for (QString& line : lines) {
        line = printable(line, LineBreaks::Kept);
    }
    err() << lines.join(QLatin1Char('\n')) << Qt::endl;
}

std::optional<Credentials> readCredentials(bool fromStdin) {
    Credentials credentials;
    if (!fromStdin) {
        err() << "User: " << Qt::flush;
    }
    std::optional<QString> name = readLine();
    if (!name) {
        return std::nullopt;
    }
    if (!fromStdin) {
        err() << "Password: " << Qt::flush;
    }
    std::optional<QString> password = fromStdin ? readLine() : readHiddenLine();
    if (!password) {
        return std::nullopt;
    }
    credentials.name = *name;
    credentials.password = *password;
    return credentials;
}

std::optional<QString> readRecordPassword(bool fromStdin) {
    if (fromStdin) {
        return readLine();
    }
    err() << "Password for the record: " << Qt::flush;
    const std::optional<QString> first = readHiddenLine();
    if (!first) {
        return std::nullopt;
    }
    err() << "Password (repeat): " << Qt::flush;
    const std::optional<QString> second = readHiddenLine();
    if (!second) {
        return std::nullopt;
    }
    if (*first != *second) {
        tell(passwordsDifferMessage());
        return std::nullopt;
    }
    return first;
}

QString readRemainingInput() {
    std::string all;
    std::string line;
    bool first = true;
    while (std::getline(std::cin, line)) {
        if (!first) {
            all += '\n';
        }
        all += line;
        first = false;
    }
    QString text = QString::fromStdString(all);
    // A text that ended with a line break keeps none at its end; CRLF counts as one.
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void ConsoleDialogs::message(MessageIcon, const QString& title, const QString& text) {
    tell(title + QStringLiteral(": ") + text);
}

bool ConsoleDialogs::askYesNo(const QString&, const QString& text) {
    tell(text);
    return false;
}

std::optional<QString> ConsoleDialogs::inputText(const QString&, const QString&, const QString&) {
    return std::nullopt;
}

QString ConsoleDialogs::openFile(const QString&, const QStringList&) {
    return {};
}

QString ConsoleDialogs::chooseFolder(const QString&, const QString&) {
    return {};
}

}  // namespace ks::cli

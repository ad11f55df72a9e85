#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include "WindowsWorld.h"

namespace ks::bench {

// An X server for the windows to show on: a private Xvfb on a free display when the machine
// has one, else the caller's display when the bench runs under one (xvfb-run -a).
class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N", or empty when there is no X server to use.
    QString display() const { return display_; }
    // What the figures were measured on, for the report.
    QString description() const { return description_; }

private:
    QProcess xvfb_;
    QString display_;
    QString description_;
};

// The first login as the user sees it on an X server: from Return in the login window's password
// box until the main window is painted with its lists and the server holds the picture (a round
// trip after the paint). Each sample is a freshly started program in a child process of its own,
// logging in as user `user` of `database`. Negative, with `problem` said, when it failed.
double firstLoginOnX(const XServer& server, const QString& database, int user, QString& problem);

// The child's side, in a program made for the X server: prints "login-ms N" (or the problem)
// and returns 0 when the login showed the main window.
int firstLoginOnXChild(const QString& root, const QString& database, int user);

}  // namespace ks::bench

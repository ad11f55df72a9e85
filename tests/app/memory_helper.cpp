// A second process for the memory test: a real session of the program, driven over standard
// input one command a line (fields parted by tabs), answering "ok" (and what it has to tell)
// once each command is done, so that the test can read this process's memory in between.
#include <string.h>
#include <unistd.h>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QtTest>
#include <array>
#include <cstdio>

#include "GuiDriver.h"
#include "ProtectedAccount.h"
#include "Session.h"
#include "app/ProcessMemory.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

// Written straight to the pipe: the C library's buffer of standard output would keep a copy of
// what this process tells (a generated password) in its memory.
void say(const QString& line) {
    QByteArray bytes = line.toUtf8() + '\n';
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(1, bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            break;
        }
        done += written;
    }
    explicit_bzero(bytes.data(), static_cast<std::size_t>(bytes.size()));
}

// The next command from standard input, read byte by byte (no buffer of a library keeps it) and
// the bytes wiped; each field a string of its own. False at the end of the input.
bool readCommand(QStringList& command) {
    std::array<char, 4096> bytes{};
    std::size_t size = 0;
    char c = 0;
    bool ended = true;
    while (::read(0, &c, 1) == 1) {
        ended = false;
        if (c == '\n' || size == bytes.size()) {
            break;
        }
        bytes[size++] = c;
    }
    command.clear();
    std::size_t from = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || bytes[i] == '\t') {
            command << QString::fromUtf8(bytes.data() + from, static_cast<qsizetype>(i - from));
            from = i + 1;
        }
    }
    explicit_bzero(bytes.data(), bytes.size());
    return !ended;
}

// The test's own copies of a command's values go once it is done; a value the program still
// shares is the program's to let go of.
void wipe(QStringList& command) {
    for (QString& field : command) {
        if (field.isDetached() && !field.isEmpty()) {
            explicit_bzero(field.data(), static_cast<std::size_t>(field.size()) * sizeof(QChar));
        }
    }
    command.clear();
}

void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Typed key by key, as a keyboard would (the test's own key clicks know ASCII only).
void typeInto(QWidget* box, const QString& text) {
    box->setFocus();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
        QApplication::sendEvent(box, &release);
    }
}

// Creates a record in the editor by typing (notes too long to type are pasted after the typed
// ones), then shows it in the details, shows its password and copies it.
void record(test::Session& session, const QStringList& fields, const QString& pasted = {}) {
    QWidget* main = session.mainWindow();
    test::showTab(main, 0);
    test::press(main, u"cmdLoginsNew"_s);
    QWidget* editor = test::window(u"Form2"_s);
    typeInto(test::control<QLineEdit>(editor, u"txtShortName"_s), fields.at(1));
    typeInto(test::control<QLineEdit>(editor, u"txtPassword"_s), fields.at(2));
    typeInto(test::control<QLineEdit>(editor, u"txtPassword2"_s), fields.at(2));
    typeInto(test::control<QPlainTextEdit>(editor, u"txtNotes"_s), fields.at(3));
    test::control<QPlainTextEdit>(editor, u"txtNotes"_s)->insertPlainText(pasted);
    session.dialogs.clear();
    test::press(editor, u"cmdSaveClose"_s);
    settle();
    test::selectText(test::control<QListView>(main, u"lstPasswords"_s), fields.at(1));
    test::press(main, u"cmdRevealPassword"_s);
    test::press(main, u"cmdCopyPassword"_s);
}

// A password made by the generator and put in the editor, which is then left without saving;
// the password is told.
void generate(test::Session& session) {
    QWidget* main = session.mainWindow();
    test::showTab(main, 0);
    test::press(main, u"cmdLoginsNew"_s);
    QWidget* editor = test::window(u"Form2"_s);
    test::press(editor, u"cmdGeneratePassword"_s);
    settle();
    QWidget* generator = test::window(u"frmPasswordGenerator"_s);
    const QString password = test::control<QLineEdit>(generator, u"txtGenerated"_s)->text();
    test::press(generator, u"cmdUse"_s);
    settle();
    test::press(editor, u"cmdCancel"_s);
    say(password);
}

void journal(test::Session& session, const QString& text) {
    QWidget* main = session.mainWindow();
    test::showTab(main, 1);
    typeInto(test::control<QPlainTextEdit>(main, u"txtJournal"_s), text);
    if (text.contains(u"saved"_s)) {
        test::press(main, u"cmdJournalSave"_s);
    }
}

bool run(test::Session& session, const QStringList& command) {
    const QString& verb = command.at(0);
    if (verb == u"protect"_s && command.size() == 4) {
        test::protectedAccount(session.program->database(), command.at(1), command.at(3),
                               command.at(2));
    } else if (verb == u"login"_s && command.size() == 3) {
        session.logIn(command.at(1), command.at(2));
    } else if (verb == u"record"_s && command.size() == 4) {
        record(session, command);
    } else if (verb == u"bignotes"_s && command.size() == 4) {
        // Half a megabyte of notes, with the mark at their end.
        record(session, {verb, command.at(1), command.at(2), QString()},
               u" filler"_s.repeated(40000) + command.at(3));
    } else if (verb == u"generate"_s) {
        generate(session);
    } else if (verb == u"journal"_s && command.size() == 2) {
        journal(session, command.at(1));
    } else if (verb == u"logout"_s) {
        session.logOut();
    } else if (verb == u"lock"_s) {
        session.program->lock();
    } else if (verb == u"lockedkb"_s) {
        // The memory locked against swapping (the account's keys), from the kernel's account.
        QFile status(u"/proc/self/status"_s);
        status.open(QIODevice::ReadOnly);
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmLck:")) {
                say(QString::fromLatin1(line.mid(6).simplified().split(' ').value(0)));
            }
        }
    } else if (verb == u"dumps"_s) {
        say(coreDumpsOff() ? u"off"_s : u"on"_s);
    } else if (verb == u"heapcache"_s) {
        say(heapCacheOff() ? u"off"_s : u"on"_s);
    } else {
        return false;
    }
    settle();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    guardProcessMemory(argv);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    test::Session session;
    // The database is made by the first login attempt; an account is protected after it.
    session.program->useDatabase(session.env.freshDatabase());
    QStringList command;
    while (readCommand(command) && command.first() != u"quit"_s) {
        const bool known = run(session, command);
        wipe(command);
        say(known ? u"ok"_s : u"unknown"_s);
    }
    return 0;
}

// A second process for the memory test: a real session of the program, driven over standard
// input one command a line (fields parted by tabs), answering "ok" (and what it has to tell)
// once each command is done, so that the test can read this process's memory in between.
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTextStream>
#include <QtTest>
#include <cstdio>

#include "GuiDriver.h"
#include "ProtectedAccount.h"
#include "Session.h"
#include "app/ProcessMemory.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

void say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void typeInto(QWidget* box, const QString& text) {
    box->setFocus();
    QTest::keyClicks(box, text);
}

// Creates a record in the editor by typing, then shows it in the details, shows its password
// and copies it.
void record(test::Session& session, const QStringList& fields) {
    QWidget* main = session.mainWindow();
    test::showTab(main, 0);
    test::press(main, u"cmdLoginsNew"_s);
    QWidget* editor = test::window(u"Form2"_s);
    typeInto(test::control<QLineEdit>(editor, u"txtShortName"_s), fields.at(1));
    typeInto(test::control<QLineEdit>(editor, u"txtPassword"_s), fields.at(2));
    typeInto(test::control<QLineEdit>(editor, u"txtPassword2"_s), fields.at(2));
    typeInto(test::control<QPlainTextEdit>(editor, u"txtNotes"_s), fields.at(3));
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
    } else if (verb == u"generate"_s) {
        generate(session);
    } else if (verb == u"journal"_s && command.size() == 2) {
        journal(session, command.at(1));
    } else if (verb == u"logout"_s) {
        session.logOut();
    } else if (verb == u"lock"_s) {
        session.program->lock();
    } else if (verb == u"dumps"_s) {
        say(coreDumpsOff() ? u"off"_s : u"on"_s);
    } else {
        return false;
    }
    settle();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    guardProcessMemory();
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    test::Session session;
    // The database is made by the first login attempt; an account is protected after it.
    session.program->useDatabase(session.env.freshDatabase());
    QTextStream input(stdin);
    QString line;
    while (input.readLineInto(&line)) {
        const QStringList command = line.split(u'\t');
        if (command.first() == u"quit"_s) {
            break;
        }
        say(run(session, command) ? u"ok"_s : u"unknown"_s);
    }
    return 0;
}

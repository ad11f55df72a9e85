#include "Session.h"

#include <QAction>
#include <QMainWindow>
#include <QtTest>

#include "GuiDriver.h"

namespace ks::test {

Session::Session() {
    start();
}

Session::~Session() {
    program.reset();
}

void Session::start() {
    program.reset();
    ProgramOptions options = env.programOptions();
    options.clock = clock;
    if (adjustOptions) {
        adjustOptions(options);
    }
    program = std::make_unique<Program>(dialogs, options);
    program->start();
    dialogs.clear();
}

void Session::logIn(const QString& name, const QString& password) {
    // An unknown name is created on the spot: the one question is answered Yes.
    dialogs.onShown = [this](const ScriptedDialogs::Shown& shown) {
        if (shown.icon == MessageIcon::Question &&
            shown.text.startsWith(QStringLiteral("That user is not in the database."))) {
            dialogs.answer(true);
        }
    };
    ks::test::logIn(name, password);
    dialogs.onShown = nullptr;
    if (!program->state().LoggedIn) {
        QTest::qFail("the login did not succeed", __FILE__, __LINE__);
    }
    dialogs.clear();
}

void Session::logOut() {
    auto* action = mainWindow()->findChild<QAction*>(QStringLiteral("mnuLogOut"));
    if (action != nullptr) {
        action->trigger();
    }
}

void Session::switchUser(const QString& name) {
    program->state().CompactPolicy = 0;
    logOut();
    logIn(name);
}

QMainWindow* Session::mainWindow() const {
    return qobject_cast<QMainWindow*>(window(QStringLiteral("Form1")));
}

void SessionTest::startSession(const QString& user, const QString& password) {
    session.reset();  // the previous world first
    session = std::make_unique<Session>();
    session->logIn(user, password);
}

void SessionTest::endSession() {
    const ScriptedDialogs& scripted = session->dialogs;
    QVERIFY2(scripted.unexpected.isEmpty(), qPrintable(scripted.unexpected.join(u'\n')));
    QVERIFY(!scripted.pendingAnswers());
    session.reset();
}

QStringList SessionTest::pressed(QWidget* root, const QString& name) {
    const qsizetype before = session->dialogs.shown.size();
    if (!press(root, name)) {
        QTest::qFail(qPrintable(QStringLiteral("no button ") + name), __FILE__, __LINE__);
    }
    return session->dialogs.texts().mid(before);
}

}  // namespace ks::test

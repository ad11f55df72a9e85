#pragma once
// What the lock tests share: a session whose minutes are short, a record editor with typed
// values, and whether a lock has brought the login window back.
#include <QLineEdit>
#include <QtTest>

#include "GuiDriver.h"
#include "Session.h"

namespace ks::test {

// A minute of the lock settings in the tests: the default of 10 is a second.
inline constexpr std::chrono::milliseconds kLockMinute{100};

inline void startShortened(Session& session) {
    session.adjustOptions = [](ProgramOptions& options) { options.lockMinute = kLockMinute; };
    session.start();
}

// Opens the record editor and types a password into it.
inline QWidget* editorWithTypedPassword(QWidget* main, const QString& password) {
    showTab(main, 0);
    press(main, QStringLiteral("cmdLoginsNew"));
    QWidget* editor = window(QStringLiteral("Form2"));
    QTest::keyClicks(control<QLineEdit>(editor, QStringLiteral("txtShortName")),
                     QStringLiteral("bank"));
    QTest::keyClicks(control<QLineEdit>(editor, QStringLiteral("txtPassword")), password);
    QTest::keyClicks(control<QLineEdit>(editor, QStringLiteral("txtPassword2")), password);
    return editor;
}

inline bool lockedToLogin(Session& session) {
    QWidget* login = window(QStringLiteral("frmLogin"));
    return !session.program->state().LoggedIn && login != nullptr && login->isVisible() &&
           !session.mainWindow()->isVisible();
}

}  // namespace ks::test

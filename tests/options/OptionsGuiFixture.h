#pragma once

// What the tests of the Options page share: a session logged in as anna, the page, a login
// tried at the login window, and the live database's path.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"
#include "options/OptionsPage.h"

namespace ks::test {

using namespace Qt::StringLiterals;

inline const QString kTitle = u"Keystead"_s;

class OptionsGuiFixture : public test::SessionTest {
protected:
    void startOptions() { startSession(u"anna"_s, u"annapass"_s); }

    OptionsPage* page() { return main()->findChild<OptionsPage*>(); }
    // Tries a login at the login window; true when the main window opened.
    bool logsIn(const QString& name, const QString& password) {
        test::logIn(name, password);
        const bool in = state().LoggedIn;
        if (in) {
            session->logOut();
        }
        return in;
    }
    QString database() { return session->env.databasePath(); }
};

}  // namespace ks::test

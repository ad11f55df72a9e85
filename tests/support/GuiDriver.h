#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace ks {
class Program;
}

namespace ks::test {

class ScriptedDialogs;

// The top-level window with this objectName, shown or hidden; null when there is none.
QWidget* window(const QString& name);

// A control of a window by its objectName; null when there is none.
template <typename T>
T* control(QWidget* root, const QString& name) {
    return root != nullptr ? root->findChild<T*>(name) : nullptr;
}

// Presses the button `name` inside `root`; false when there is no such button.
bool press(QWidget* root, const QString& name);

// Runs `action` on the modal window `name` once it is up, from inside its modal loop. Returns a
// flag that turns true when the action has run.
std::shared_ptr<bool> whenModal(const QString& name, std::function<void(QWidget*)> action,
                                int timeoutMs = 5000);

// Types a name and password into the login window and presses "Log In / Create New User".
void logIn(const QString& name, const QString& password);

}  // namespace ks::test

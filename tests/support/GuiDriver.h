#pragma once

#include <QAbstractItemView>
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

// The texts of the first column of a list, tree, table or combo box, top to bottom.
QStringList itemTexts(const QWidget* view);
// Makes these rows the selection of the view, as ctrl-clicks would; the current row moves along
// only when `moveCurrent` is set.
void selectRows(QAbstractItemView* view, const QList<int>& rows, bool moveCurrent = false);
// Makes the row with this text current, as a click would; false (and nothing done) when there is
// none.
bool selectText(QAbstractItemView* view, const QString& text);
// Shows the main window's tab at `index`.
void showTab(QWidget* main, int index);

// Presses the button `name` inside `root`; false when there is no such button.
bool press(QWidget* root, const QString& name);

// Runs `action` on the modal window `name` once it is up, from inside its modal loop. Returns a
// flag that turns true when the action has run.
std::shared_ptr<bool> whenModal(const QString& name, std::function<void(QWidget*)> action,
                                int timeoutMs = 5000);

// Types a name and password into the login window and presses "Log In / Create New User".
void logIn(const QString& name, const QString& password);

}  // namespace ks::test

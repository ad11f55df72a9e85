#pragma once

#include <QString>
#include <QStringList>

#include "WindowsFill.h"
#include "WindowsWorld.h"

namespace ks::bench {

// The measured actions, each as the user waits for it: from the click or key until the event
// loop is idle again. Each checks that the windows show what the action should have shown and
// notes in `problems` when they do not (a figure of a failed action means nothing).
class WindowActions {
public:
    WindowActions(BenchWorld& world, const FillPlan& plan) : world_(world), plan_(plan) {}

    // From "Log In / Create New User" on a freshly started program to the main window.
    double firstLogin();
    // The filter from one category to "All Records".
    double listAll();
    // The filter from "All Records" to one category (about an eighth of the records).
    double filterOne(int which);
    // "Save and Close" of a new record until the main window is refilled.
    double saveNew();
    // "Cancel" of the record editor until the main window is refilled.
    double activation();
    // Another machine's changes applied by a sync pass: from the pass's end until the lists
    // are refilled and shown again.
    double changesFromElsewhere();
    // Keys typed one by one into the vault's empty search box, each until the narrowed list is
    // shown; the first key of a session also reads the texts searched in. The box is emptied
    // again afterwards, untimed.
    QList<double> searchKeys(const QString& text);
    // Ctrl+F and one key at once, without the pause in which a user's hand moves and the texts
    // searched in are read ahead: the first search of a session at its slowest.
    // Until the list shows the search's lines; `allFound` gets the time until the search has
    // read everything it looks in and listed what it found there.
    double searchAtOnce(QChar letter, double& allFound);
    // "Log Out", then logging in again, until the main window is back.
    double logOutAndIn();
    // With a sync folder chosen (its first pass, the whole database, untimed) and one record
    // saved since: "Log Out" until the login window is shown, this machine's change written to
    // the folder on the way; then logging in again and the folder given up, untimed.
    double logOutWithSync();
    // From the moment the time without use is up until the login window is shown (locked),
    // with unsaved journal text to save on the way; then logging in again, untimed.
    double lockAndIn();
    // "< Previous Entry" from the first entry after two empty years, then "Next Entry >" back.
    void previousAndNext(double& previous, double& next);
    // "Next Day >" onto the day of the big entry.
    double openBigDay();
    // Single keys typed at the end of the shown entry, then as many backspaces, each timed.
    QList<double> keys(int count);
    // Back to the Password Vault tab with "All Records", untimed.
    void backToVault();

    QStringList problems;

private:
    void check(bool ok, const QString& what);
    void checkQuiet(const QString& action);
    QWidget* mainWindow() const;
    void showDay(const QDate& day);

    BenchWorld& world_;
    FillPlan plan_;
};

}  // namespace ks::bench

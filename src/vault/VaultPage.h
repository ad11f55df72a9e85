#pragma once

#include <QWidget>

#include "storage/Services.h"

namespace ks {

// The Password Vault tab: category filter, record list and details; owns the record editor
// `Form2` and the category window `Form5`.
class VaultPage : public QWidget {
    Q_OBJECT
public:
    explicit VaultPage(Services& services, QWidget* parent = nullptr);

    // The button panel `pctLogins` (a QVBoxLayout): cmdLoginsNew, cmdLoginsEdit, cmdLoginsDelete.
    // The main window appends its About and Quit buttons.
    QWidget* buttonPanel() const { return panel_; }

    // The main window's normal activation: refills the category lists, which lists the records.
    void reloadLists();

Q_SIGNALS:
    // The record editor opens: the main window hides.
    void hideMainWindowRequested();
    // Back from another window of the program: the main window shows and activates again.
    void returnToMainWindow();

private:
    Services& services_;
    QWidget* panel_;
};

}  // namespace ks

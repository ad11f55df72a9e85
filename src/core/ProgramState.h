#pragma once

#include <QString>

#include "core/Account.h"
#include "storage/SettingsFile.h"

namespace ks {

// The program-wide values that live for the whole run.
struct ProgramState {
    // Title of every message box and part of the window captions.
    QString AppTitle = QStringLiteral("Keystead");
    QString AppFolder;     // the program's own folder: Template.dat and the help page
    QString TempFolder;    // the private temporary folder, ends in "/"
    QString DataFolder;    // ends in "/"
    QString DatabasePath;  // the database file in DataFolder, once it exists

    // Login values.
    QString UserNameCipher;  // owner value of the logged-in user
    QString PasswordCipher;
    QString LoginUserName;  // the name exactly as typed
    // The logged-in account as the stores see it: UserNameCipher and, when it is protected, its
    // data key. Emptied at logout.
    Account CurrentAccount;
    bool LoggedIn = false;

    bool FirstActivation = true;
    bool DataDeleted = false;
    bool CompactNow = false;
    int CompactPolicy = 1;    // 0 never, 1 ask, 2 always
    LockSettings Lock;        // when the session locks by itself
    HistorySettings History;  // what history keeps
    SyncSettings Sync;        // the sync folder and this machine's name there
    bool Quitting = false;
};

}  // namespace ks

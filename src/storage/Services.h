#pragma once

#include "storage/Clock.h"
#include "storage/Database.h"
#include "storage/Dialogs.h"
#include "storage/ProgramState.h"

namespace ks {

// What every window of a logged-in session works with.
struct Services {
    ProgramState& state;
    Dialogs& dialogs;
    DatabaseAccess& database;
    const Clock& clock;
};

}  // namespace ks

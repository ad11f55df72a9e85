#pragma once

#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/ProgramState.h"
#include "storage/Database.h"

namespace ks {

// What every window of a logged-in session works with.
struct Services {
    ProgramState& state;
    Dialogs& dialogs;
    DatabaseAccess& database;
    const Clock& clock;
};

}  // namespace ks

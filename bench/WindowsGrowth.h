#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "WindowsFill.h"
#include "WindowsReport.h"
#include "WindowsWorld.h"

namespace ks::bench {

// The vault's actions for one user at one size (1,000, 10,000 or 50,000 records).
struct GrowthFigures {
    Samples listAll, filterOne, save, firstSave, activation, firstSearchKey, searchKeys,
        searchAtOnce, searchAllFound;
};

// The growth at each size, and the resident peak of a session on the nearly empty database
// and on the largest.
struct GrownFigures {
    QList<GrowthFigures> grown;
    long emptyKb = 0;
    long bigKb = 0;
};

// One user's growth (`paths` of the plans in `growth`) and the memory of a session, the nearly
// empty database's (`emptyPath`, `emptyRecords`) against the largest's.
GrownFigures runGrowthAndMemory(const QString& root, const QList<FillPlan>& growth,
                                const QStringList& paths, const QString& emptyPath,
                                int emptyRecords, QStringList& problems);
// The same growth with the user's account protected (copies of the databases, logged in with
// the pass phrase); no memory figures. Empty when a protected copy could not be made.
GrownFigures runProtectedGrowth(const QString& root, const QList<FillPlan>& growth,
                                const QStringList& paths, QStringList& problems);
// The growth's figures under `whose` ("one user"), and the memory's when they were measured.
void reportGrowth(Report& report, const GrownFigures& figures, const char* whose = "one user");

// The memory's child process (bench_windows --memory DATABASE RECORDS): a session on its own,
// its resident peak printed.
int memoryChild(const QString& database, int records);

}  // namespace ks::bench

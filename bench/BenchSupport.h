#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <limits>
#include <string>

#include "storage/Database.h"

namespace ks::bench {

// Milliseconds per run of `work`, the median of `runs` runs.
double medianMs(int runs, const std::function<void()>& work);

// A private folder with a fresh copy of the template as Data.mdb.
class BenchFolder {
public:
    BenchFolder();
    QString databasePath() const;

private:
    QTemporaryDir dir_;
};

void printFigure(const char* what, double ms);

// Kilobytes of a field of /proc/self/status ("VmRSS", "VmHWM"); -1 when it is not there.
long statusKb(const char* field);
// Prints a figure beside its goal with "ok" or "over" (lower is better).
void verdict(const char* what, double value, const char* unit, double goal, const char* goalText);
void printRatio(const char* what, double ms, double baselineMs);

// One frame at 60 Hz. An action over sooner than this looks instant, whatever its ratio to the
// nearly empty database: a ratio of two figures below a frame means nothing.
constexpr double kFrameMs = 16.0;

// The goal of an action measured against a baseline (the same action on the nearly empty
// database, or the same work done by hand): at most `ratio` times the baseline and, when given,
// under `limitMs`.
struct RatioGoal {
    double ratio = 2.0;
    double limitMs = std::numeric_limits<double>::infinity();
};
// The one rule of every ratio verdict: "ok" under one frame whatever the ratio; from one frame
// up, when both goals hold.
bool ratioOk(double ms, double baselineMs, const RatioGoal& goal);
// How the goal reads beside a figure: "< 16 ms, or <= 2x and < 30 ms".
std::string ratioGoalText(const RatioGoal& goal);
// Prints the figure, its ratio to the baseline, the goal and "ok" or "over".
void ratioVerdict(const char* what, double ms, double baselineMs, const RatioGoal& goal);
const char* okOrOver(bool ok);

// The stored owner value of the benchmarks' user number `user`, and those of users 0 to
// `users` - 1.
QString ownerOf(int user);
QStringList ownersOf(int users);

// Adds `recordsPerUser` records of realistic length for each owner, the owners' rows
// interleaved as they would be added over time, filed in turn under six categories; on the
// caller's connection (inside its transaction). The short names are "site U-I".
void insertInterleavedRecords(Connection& connection, const QStringList& owners,
                              int recordsPerUser);

}  // namespace ks::bench

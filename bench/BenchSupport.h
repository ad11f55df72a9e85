#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>

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

}  // namespace ks::bench

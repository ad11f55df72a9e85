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
void printRatio(const char* what, double ms, double baselineMs);

}  // namespace ks::bench

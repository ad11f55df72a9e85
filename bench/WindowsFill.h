#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace ks::bench {

// The fixed "today" of every benchmark run, and the journal days the measured actions visit.
struct BenchDays {
    QDate today;
    QDate afterGap;   // the first entry after two empty years
    QDate beforeGap;  // the last entry before them
    QDate bigDay;     // holds the 1 MB entry in the scale database
    QDate dayBefore;  // the day before it, from where "Next Day" opens it
};
BenchDays benchDays();

// What a benchmark database holds. Every user has the same login password.
struct FillPlan {
    QString name;              // the cache folder's name
    int users = 1;             // the measured user is the one at `measuredUser`
    int recordsPerUser = 0;    // filed round the eight categories of the user
    bool fullJournal = false;  // ten years of daily entries with a two-year gap; otherwise only
                               // the days the actions visit
    bool bigEntry = false;     // the measured user's entry of bigDay holds 1 MB
};

// The name and password of user `index`, and the one the actions log in as.
QString userName(int index);
QString userPassword();
constexpr int measuredUser = 3;
int measuredIndex(const FillPlan& plan);

// The eight filters a user can pick besides "All Records": the shared categories, the user's
// own two and the unfiled entry.
QStringList userCategories();

// The path of a filled database for `plan`, filled on first use and kept under /tmp between
// runs (keyed by the fill's version). `templatePath` is the empty database to start from.
QString cachedDatabase(const FillPlan& plan, const QString& templatePath);

}  // namespace ks::bench

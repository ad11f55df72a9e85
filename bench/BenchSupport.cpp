#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "crypto/FieldCipher.h"

namespace ks::bench {

double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

BenchFolder::BenchFolder() {
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/Template.dat"),
                databasePath());
    QFile::setPermissions(databasePath(), QFile::ReadOwner | QFile::WriteOwner);
}

QString BenchFolder::databasePath() const {
    return dir_.path() + QStringLiteral("/Data.mdb");
}

void printFigure(const char* what, double ms) {
    std::printf("%-58s %9.3f ms\n", what, ms);
}

void printRatio(const char* what, double ms, double baselineMs) {
    std::printf("%-58s %9.3f ms  (x%.4f of baseline)\n", what, ms,
                baselineMs > 0 ? ms / baselineMs : 0.0);
}

long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

void verdict(const char* what, double value, const char* unit, double goal, const char* goalText) {
    std::printf("%-58s %9.2f %s  goal %s  %s\n", what, value, unit, goalText,
                okOrOver(value <= goal));
}

const char* okOrOver(bool ok) {
    return ok ? "ok" : "over";
}

bool ratioOk(double ms, double baselineMs, const RatioGoal& goal) {
    if (ms < kFrameMs) {
        return true;
    }
    return baselineMs > 0 && ms / baselineMs <= goal.ratio && ms < goal.limitMs;
}

std::string ratioGoalText(const RatioGoal& goal) {
    char text[80];
    if (std::isfinite(goal.limitMs)) {
        std::snprintf(text, sizeof text, "< %.0f ms, or <= %gx and < %.0f ms", kFrameMs, goal.ratio,
                      goal.limitMs);
    } else {
        std::snprintf(text, sizeof text, "< %.0f ms, or <= %gx", kFrameMs, goal.ratio);
    }
    return text;
}

void ratioVerdict(const char* what, double ms, double baselineMs, const RatioGoal& goal) {
    std::printf("%-58s %9.2f ms  x%.2f of %.2f ms  goal %s  %s\n", what, ms,
                baselineMs > 0 ? ms / baselineMs : 0.0, baselineMs, ratioGoalText(goal).c_str(),
                okOrOver(ratioOk(ms, baselineMs, goal)));
}

QString ownerOf(int user) {
    return EncryptField(QStringLiteral("user number %1").arg(user));
}

QStringList ownersOf(int users) {
    QStringList owners;
    for (int user = 0; user < users; ++user) {
        owners.append(ownerOf(user));
    }
    return owners;
}

void insertInterleavedRecords(Connection& connection, const QStringList& owners,
                              int recordsPerUser) {
    static const char* const categories[] = {"Banking",  "Email", "Internet",
                                             "Shopping", "Work",  "Unfiled"};
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO Logins (KeyUserName, ShortName, UserName, Password, "
                       "Description, Notes, Category, Uuid, Modified) "
                       "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, randomblob(16), 1)"));
    for (int i = 0; i < recordsPerUser; ++i) {
        for (qsizetype user = 0; user < owners.size(); ++user) {
            const QString tag = QStringLiteral("%1-%2").arg(user).arg(i);
            insert.reset();
            insert.bind(1, owners[user]).bind(2, EncryptField(QStringLiteral("site ") + tag));
            insert.bind(3, EncryptField(QStringLiteral("login ") + tag));
            insert.bind(4, EncryptField(QStringLiteral("secret ") + tag));
            insert.bind(5, EncryptField(QStringLiteral("an account somewhere")));
            insert.bind(6, EncryptField(QStringLiteral("notes about it, a line or two long")));
            insert.bind(7, QString::fromLatin1(categories[i % 6]));
            insert.run();
        }
    }
}

}  // namespace ks::bench

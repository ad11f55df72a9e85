#include "storage/BackupRotation.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cerrno>

#include "storage/CopyHelpers.h"

namespace ks {

namespace {

bool isDaily(const BackupFile& backup) {
    return backup.reason == dailyBackupReason();
}

bool keptBesideDatabase(const BackupFile& backup) {
    return QFileInfo(backup.path).fileName() == QLatin1String("Data.mdb.bak");
}

// A week as one number: its ISO year and week.
int weekOf(const QDate& day) {
    int year = 0;
    const int week = day.weekNumber(&year);
    return year * 100 + week;
}

}  // namespace

QString dailyBackupReason() {
    return QStringLiteral("daily");
}

QList<BackupFile> backupsPastKeeping(const QList<BackupFile>& backups, const RotationRule& rule) {
    QList<BackupFile> newestFirst;
    for (const BackupFile& backup : backups) {
        if (!keptBesideDatabase(backup)) {
            newestFirst.append(backup);
        }
    }
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [](const BackupFile& a, const BackupFile& b) { return a.made > b.made; });
    QList<BackupFile> past;
    int daily = 0;
    int events = 0;
    QSet<int> dailyWeeks;  // weeks that a kept daily copy stands for already
    QSet<int> weeks;       // weeks kept by a copy of their own
    for (const BackupFile& backup : newestFirst) {
        const int week = weekOf(backup.made.date());
        if (!isDaily(backup)) {
            if (++events > rule.events) {
                past.append(backup);
            }
        } else if (++daily <= rule.daily) {
            dailyWeeks.insert(week);
        } else if (dailyWeeks.contains(week) || weeks.contains(week) ||
                   weeks.size() >= rule.weekly) {
            past.append(backup);
        } else {
            weeks.insert(week);
        }
    }
    return past;
}

bool dailyBackupDue(const QList<BackupFile>& backups, const QDate& day) {
    return std::none_of(backups.cbegin(), backups.cend(), [&](const BackupFile& backup) {
        return isDaily(backup) && backup.made.date() == day;
    });
}

DbStatus rotateBackups(const QString& dataFolder, const RotationRule& rule) {
    DbStatus status;
    for (const BackupFile& backup : backupsPastKeeping(listBackups(dataFolder), rule)) {
        QFile file(backup.path);
        if (!file.remove() && status.ok()) {
            status = {DbCode::Failed, QStringLiteral("could not remove the backup %1: %2")
                                          .arg(backup.path, file.errorString())};
        }
    }
    return status;
}

}  // namespace ks

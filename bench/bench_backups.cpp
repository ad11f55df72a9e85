// What the day's backup costs the user: it starts at the first login of a day and copies the
// database on a thread of its own while the user works. Measured in the real windows, driven
// offscreen, on the database of 10 users x 2,000 records x 3,650 journal days and on the nearly
// empty one with 500 MB of stored files added:
//  * the first login with the day's copy due against the same login when it is not;
//  * saving a record while the copy runs against saving with no copy running;
//  * the longest time the window could not answer while the copy ran (a timer that should fire
//    every 2 ms, its longest gap; the median over the rounds), against the same wait with
//    nothing copying;
//  * how long the copy took (no goal: nobody waits for it).
//
//   bench_backups [--rounds N]       (N rounds of each, interleaved; 7 by default)
//
// The filled databases are shared with bench_windows (kept under /tmp/keystead-bench-windows or
// $KEYSTEAD_BENCH_CACHE); the one with files is made beside them on first use.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "BenchSupport.h"
#include "WindowsActions.h"
#include "WindowsFill.h"
#include "WindowsWorld.h"
#include "app/ProcessMemory.h"
#include "crypto/PassPhrase.h"
#include "storage/BackupRotation.h"
#include "storage/Database.h"

using namespace ks;
using namespace ks::bench;

namespace {

constexpr int kFileRows = 50;
constexpr int kFileBytes = 10 * 1024 * 1024;
constexpr int kCopyWaitMs = 600000;
constexpr int kIdleWaitMs = 3000;

struct Figures {
    Samples loginDue, loginNotDue, saveDuringCopy, saveIdle, longestStall, longestIdleStall, copyMs;
};

// The nearly empty database with 500 MB of stored files: blobs of random bytes (which no page
// of the file can shrink), filed under a name nobody logs in as, so that no list shows them.
QString databaseWithFiles(const QString& emptyPath) {
    const QString path = QFileInfo(emptyPath).absolutePath() + QStringLiteral("/files-500mb.mdb");
    if (QFile::exists(path)) {
        return path;
    }
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(emptyPath, part)) {
        return {};
    }
    {
        DatabaseAccess database(part, PassPhrase());
        Result<Connection> connection = database.open();
        if (!connection.ok()) {
            return {};
        }
        for (int i = 0; i < kFileRows; ++i) {
            const QString sql = QStringLiteral(
                                    "INSERT INTO Files (FileName, UserName, Size, CompressedSize, "
                                    "LastModified, Uuid, Modified, File) VALUES ('bench-%1.bin', "
                                    "'nobody', %2, %2, '', randomblob(16), 0, randomblob(%2))")
                                    .arg(i)
                                    .arg(kFileBytes);
            if (!connection->exec(sql).ok()) {
                return {};
            }
        }
    }
    return QFile::rename(part, path) ? path : QString();
}

bool dailyCopyListed(const QString& dataFolder) {
    const QList<BackupFile> copies = listBackups(dataFolder);
    return std::any_of(copies.cbegin(), copies.cend(),
                       [](const BackupFile& copy) { return copy.reason == dailyBackupReason(); });
}

// Runs the event loop until `done` or `limitMs` have passed, keeping the longest gap between the
// firings of a 2 ms timer: how long the window could not have answered the user. The time taken.
template <typename Done>
double runEventsUntil(Done&& done, int limitMs, double& longestGapMs) {
    QElapsedTimer since;
    since.start();
    QElapsedTimer gap;
    gap.start();
    longestGapMs = 0;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(2);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGapMs = std::max(longestGapMs, static_cast<double>(gap.nsecsElapsed()) / 1e6);
        gap.restart();
    });
    // Looked at now and then only: the looking must not be what keeps the window busy.
    QTimer check;
    check.setInterval(100);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || since.elapsed() >= limitMs) {
            loop.quit();
        }
    });
    tick.start();
    check.start();
    if (!done()) {
        loop.exec();
    }
    return static_cast<double>(since.nsecsElapsed()) / 1e6;
}

// Reads the database file through, so that both logins compared find it in the system's cache
// (the other world's copies may have pushed it out).
// Before each measured login: the database read once (as a day's earlier work would have), and
// what the sessions before wrote (a copy of hundreds of MB) flushed to the disk, so that a
// login does not share the disk with the write-back of the bench's own earlier copies.
void warm(const QString& dataFolder) {
    ::sync();
    QFile file(dataFolder + QStringLiteral("Data.mdb"));
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.read(1 << 20).isEmpty()) {
        }
    }
}

bool copyUnderWay(const QString& dataFolder) {
    return !QDir(backupsFolderIn(dataFolder))
                .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty();
}

// A session whose login finds the day's copy due: the login, a save once the copy is under way,
// the wait for the copy.
void dueSession(BenchWorld& world, const QString& dataFolder, const FillPlan& plan,
                Figures& figures, QStringList& problems) {
    // The copies are put aside, not removed: removing a large file costs the disk work that
    // would fall into the login measured next.
    const QString aside = dataFolder + QStringLiteral("Backups.aside");
    QDir().rename(backupsFolderIn(dataFolder), aside);
    warm(dataFolder);
    world.start();
    WindowActions due(world, plan);
    figures.loginDue.add(due.firstLogin());
    double stall = 0;
    runEventsUntil([&] { return copyUnderWay(dataFolder); }, kCopyWaitMs, stall);
    figures.saveDuringCopy.add(due.saveNew());
    const double copy =
        runEventsUntil([&] { return dailyCopyListed(dataFolder); }, kCopyWaitMs, stall);
    if (!dailyCopyListed(dataFolder)) {
        problems.append(plan.name + QStringLiteral(": the day's copy was not made"));
    } else {
        figures.copyMs.add(copy);
        figures.longestStall.add(stall);
    }
    problems.append(due.problems);
    world.stop();
    QDir(aside).removeRecursively();
}

// A session whose login finds the day's copy made: the login, a save, an idle wait.
void notDueSession(BenchWorld& world, const QString& dataFolder, const FillPlan& plan,
                   Figures& figures, QStringList& problems) {
    warm(dataFolder);
    world.start();
    WindowActions notDue(world, plan);
    figures.loginNotDue.add(notDue.firstLogin());
    figures.saveIdle.add(notDue.saveNew());
    // The same wait with nothing copying: what the machine itself costs the timer.
    double idleStall = 0;
    runEventsUntil([] { return false; }, kIdleWaitMs, idleStall);
    figures.longestIdleStall.add(idleStall);
    problems.append(notDue.problems);
    world.stop();
}

// One round on one database, the two sessions in turn; every other round the other way round,
// so that neither always follows the same work.
void runRound(int round, BenchWorld& world, const QString& dataFolder, const FillPlan& plan,
              Figures& figures, QStringList& problems) {
    if (round % 2 == 0) {
        dueSession(world, dataFolder, plan, figures, problems);
        notDueSession(world, dataFolder, plan, figures, problems);
    } else {
        notDueSession(world, dataFolder, plan, figures, problems);
        dueSession(world, dataFolder, plan, figures, problems);
    }
}

void report(const char* name, const Figures& figures) {
    std::printf("\n%s\n", name);
    ratioVerdict("first login, the day's copy due (vs not due)", figures.loginDue.median(),
                 figures.loginNotDue.median(), RatioGoal{1.1, 100.0});
    ratioVerdict("save a new record while the copy runs (vs none running)",
                 figures.saveDuringCopy.median(), figures.saveIdle.median(), RatioGoal{2.0, 30.0});
    ratioVerdict("longest the window could not answer while copying (vs idle)",
                 figures.longestStall.median(), figures.longestIdleStall.median(),
                 RatioGoal{2.0, 50.0});
    printFigure("the copy itself, made and checked (median; nobody waits)",
                figures.copyMs.median());
}

}  // namespace

int main(int argc, char** argv) {
    guardProcessMemory();
    QTemporaryDir runRoot;  // made before the environment changes: under the caller's temp folder
    const QString root = runRoot.path() + QLatin1Char('/');
    useOffscreenWorld(root);
    QApplication application(argc, argv);
    installEventCounter();
    const int rounds = argc == 3 && std::strcmp(argv[1], "--rounds") == 0 ? std::atoi(argv[2]) : 7;

    FillPlan scale{QStringLiteral("scale-10x2000x3650"), 10, 2000, true, true};
    FillPlan empty{QStringLiteral("nearly-empty"), 1, 8, false, false};
    const QString templatePath =
        QCoreApplication::applicationDirPath() + QStringLiteral("/Template.dat");
    const QString scalePath = cachedDatabase(scale, templatePath);
    const QString emptyPath = cachedDatabase(empty, templatePath);
    const QString filesPath = emptyPath.isEmpty() ? QString() : databaseWithFiles(emptyPath);
    if (scalePath.isEmpty() || filesPath.isEmpty()) {
        std::fprintf(stderr, "could not make the databases\n");
        return 1;
    }
    std::printf("the day's backup, %d rounds each (file sizes: %lld MB and %lld MB)\n", rounds,
                QFileInfo(scalePath).size() >> 20, QFileInfo(filesPath).size() >> 20);

    FillPlan withFiles = empty;
    withFiles.name = QStringLiteral("nearly-empty + 500 MB of files");
    BenchWorld scaleWorld(root, QStringLiteral("scale"), scalePath);
    BenchWorld filesWorld(root, QStringLiteral("files"), filesPath);
    Figures scaleFigures;
    Figures filesFigures;
    QStringList problems;
    for (int round = 0; round < rounds; ++round) {
        runRound(round, scaleWorld, root + QStringLiteral("scale/data/Keystead/"), scale,
                 scaleFigures, problems);
        runRound(round, filesWorld, root + QStringLiteral("files/data/Keystead/"), withFiles,
                 filesFigures, problems);
    }
    report("10 users x 2,000 records x 3,650 days", scaleFigures);
    report("500 MB of stored files", filesFigures);
    for (const QString& problem : problems) {
        std::printf("problem: %s\n", qPrintable(problem));
    }
    return problems.isEmpty() ? 0 : 1;
}

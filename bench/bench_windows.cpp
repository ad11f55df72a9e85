// What the user waits for in the real windows, driven offscreen by their names: each action
// from its click or key until the event loop is idle again (repaint included), on a database of
// 10 users x 2,000 records x 3,650 journal days against a nearly empty one (rounds interleaved),
// one user's growth from 1,000 to 50,000 records, a 1 MB journal entry, and peak memory. Every
// figure is printed beside its goal with "ok" or "over".
//
//   bench_windows [--rounds N]       (N rounds of the scale/empty comparison, 5 by default)
//   bench_windows --growth           (only one user's growth and the memory figures)
//   bench_windows --journal N        (only the journal's figures, N rounds)
//   bench_windows --vault N          (only the record list's figures, N rounds)
//   bench_windows --login N          (only the first login on an X server, N programs each)
//
// The first login is measured on an X server as well: a private Xvfb on a free display when the
// machine has one, else the display the bench runs under (xvfb-run -a); skipped without either.
//
// The filled databases are kept under /tmp/keystead-bench-windows (or $KEYSTEAD_BENCH_CACHE),
// so only the first run pays for the fill. Everything else lives in a private folder of the run;
// the real home folder is never used.
#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "WindowsActions.h"
#include "WindowsFill.h"
#include "WindowsReport.h"
#include "WindowsWorld.h"
#include "WindowsX11.h"

using namespace ks;
using namespace ks::bench;

namespace {

// Which actions a round times.
enum class Part { All, Journal, Vault, Login };

struct ComparedFigures {
    Samples firstLogin, listAll, filterOne, save, activation, logOutIn, previous, next, openDay,
        keys;
};

// One round on one database: a fresh program, every action a few times, the program ended.
void runRound(BenchWorld& world, const FillPlan& plan, Part part, ComparedFigures& figures,
              QStringList& problems) {
    world.start();
    WindowActions actions(world, plan);
    figures.firstLogin.add(actions.firstLogin());
    if (!world.program().state().LoggedIn) {
        problems.append(plan.name + QStringLiteral(": ") + actions.problems.join(QLatin1Char(' ')));
        world.stop();
        return;
    }
    for (int i = 0; i < (part == Part::Journal ? 0 : part == Part::Vault ? 10 : 3); ++i) {
        figures.listAll.add(actions.listAll());
        figures.filterOne.add(actions.filterOne(i));
        figures.save.add(actions.saveNew());
        figures.activation.add(actions.activation());
    }
    for (int i = 0; i < (part == Part::Vault ? 0 : 2); ++i) {
        double previous = 0;
        double next = 0;
        actions.previousAndNext(previous, next);
        figures.previous.add(previous);
        figures.next.add(next);
        figures.openDay.add(actions.openBigDay());
    }
    for (double ms : actions.keys(part == Part::Vault ? 0 : 20)) {
        figures.keys.add(ms);
    }
    actions.backToVault();
    for (int i = 0; i < (part == Part::All ? 2 : 0); ++i) {
        figures.logOutIn.add(actions.logOutAndIn());
    }
    world.stop();
    for (const QString& problem : actions.problems) {
        if (!problems.contains(plan.name + QStringLiteral(": ") + problem)) {
            problems.append(plan.name + QStringLiteral(": ") + problem);
        }
    }
}

struct GrowthFigures {
    Samples listAll, filterOne, save, firstSave, activation, firstSearchKey, searchKeys,
        searchAtOnce;
};

GrowthFigures runGrowth(BenchWorld& world, const FillPlan& plan, QStringList& problems) {
    GrowthFigures figures;
    world.start();
    WindowActions actions(world, plan);
    actions.firstLogin();
    for (int i = 0; i < 5 && world.program().state().LoggedIn; ++i) {
        figures.listAll.add(actions.listAll());
        figures.filterOne.add(actions.filterOne(i));
        figures.save.add(actions.saveNew());
        if (i == 0) {
            figures.firstSave = figures.save;
        }
        figures.activation.add(actions.activation());
    }
    if (world.program().state().LoggedIn) {
        const QList<double> keys = actions.searchKeys(QStringLiteral("harb"));
        figures.firstSearchKey.add(keys.first());
        for (qsizetype i = 1; i < keys.size(); ++i) {
            figures.searchKeys.add(keys.at(i));
        }
    }
    world.stop();
    // A fresh program, whose first search comes at once after Ctrl+F.
    world.start();
    WindowActions again(world, plan);
    again.firstLogin();
    if (world.program().state().LoggedIn) {
        figures.searchAtOnce.add(again.searchAtOnce(QLatin1Char('h')));
    }
    world.stop();
    for (const QString& problem : actions.problems + again.problems) {
        problems.append(plan.name + QStringLiteral(": ") + problem);
    }
    return figures;
}

// In a child process of its own (so that nothing else of the run counts): log in, list, filter,
// save and come back to the main window, then report the resident peak.
int memoryChild(const QString& database, int records) {
    QTemporaryDir root;
    usePrivateHome(root.path() + QLatin1Char('/'));
    BenchWorld world(root.path() + QLatin1Char('/'), QStringLiteral("memory"), database);
    FillPlan plan;
    plan.recordsPerUser = records;
    world.start();
    WindowActions actions(world, plan);
    actions.firstLogin();
    if (world.program().state().LoggedIn) {
        actions.listAll();
        actions.filterOne(0);
        actions.saveNew();
        actions.activation();
    }
    world.stop();
    std::printf("peak-kb %ld\n", peakResidentKb());
    return actions.problems.isEmpty() ? 0 : 1;
}

long measureMemory(const QString& database, int records) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--memory"), database, QString::number(records)});
    child.waitForFinished(300000);
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    const qsizetype at = out.indexOf(QStringLiteral("peak-kb "));
    return at < 0 ? 0 : out.mid(at + 8).trimmed().toLong();
}

FillPlan plan(const char* name, int users, int records, bool fullJournal, bool bigEntry) {
    FillPlan p;
    p.name = QString::fromLatin1(name);
    p.users = users;
    p.recordsPerUser = records;
    p.fullJournal = fullJournal;
    p.bigEntry = bigEntry;
    return p;
}

// The first login on an X server, `runs` fresh programs on each database, interleaved.
void reportFirstLoginOnX(Report& report, const QStringList& databases, const QList<int>& users,
                         int runs, QStringList& problems) {
    const XServer server;
    if (server.display().isEmpty()) {
        report.firstLoginOnX({}, {}, QString());
        return;
    }
    Samples figures[2];
    for (int run = 0; run < runs; ++run) {
        for (int i = 0; i < 2; ++i) {
            QString problem;
            const double ms = firstLoginOnX(server, databases[i], users[i], problem);
            if (ms < 0) {
                problems.append(problem);
            } else {
                figures[i].add(ms);
            }
        }
    }
    report.firstLoginOnX(figures[0], figures[1], server.description());
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir runRoot;  // made before the environment changes: under the caller's temp folder
    const QString root = runRoot.path() + QLatin1Char('/');
    useOffscreenWorld(root);
    QApplication application(argc, argv);
    installEventCounter();
    if (argc == 4 && std::strcmp(argv[1], "--memory") == 0) {
        return memoryChild(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    }
    if (argc == 4 && std::strcmp(argv[1], "--x11-login") == 0) {
        return firstLoginOnXChild(root, QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    }
    const bool growthOnly = argc == 2 && std::strcmp(argv[1], "--growth") == 0;
    const bool roundsGiven = argc == 3 && std::strcmp(argv[1], "--growth") != 0;
    const Part part = !roundsGiven                             ? Part::All
                      : std::strcmp(argv[1], "--journal") == 0 ? Part::Journal
                      : std::strcmp(argv[1], "--vault") == 0   ? Part::Vault
                      : std::strcmp(argv[1], "--login") == 0   ? Part::Login
                                                               : Part::All;
    const int rounds = growthOnly ? 0 : roundsGiven ? std::atoi(argv[2]) : 5;
    const QString templatePath =
        QCoreApplication::applicationDirPath() + QStringLiteral("/Template.dat");

    const FillPlan scale = plan("scale-10x2000x3650", 10, 2000, true, true);
    const FillPlan empty = plan("nearly-empty", 1, 8, false, false);
    const QList<FillPlan> growth = {plan("one-user-1k", 1, 1000, false, false),
                                    plan("one-user-10k", 1, 10000, false, false),
                                    plan("one-user-50k", 1, 50000, false, false)};
    QStringList paths;
    for (const FillPlan& p : QList<FillPlan>{scale, empty} + growth) {
        paths.append(cachedDatabase(p, templatePath));
        if (paths.last().isEmpty()) {
            std::fprintf(stderr, "could not fill %s\n", qPrintable(p.name));
            return 1;
        }
    }

    QStringList problems;
    const QList<int> users = {measuredIndex(scale), measuredIndex(empty)};
    if (part == Part::Login) {
        Report report(rounds);
        reportFirstLoginOnX(report, paths.mid(0, 2), users, rounds, problems);
        report.problems(problems);
        return 0;
    }
    ComparedFigures atScale;
    ComparedFigures atEmpty;
    BenchWorld scaleWorld(root, QStringLiteral("scale"), paths[0]);
    BenchWorld emptyWorld(root, QStringLiteral("empty"), paths[1]);
    for (int round = 0; round < rounds; ++round) {
        runRound(scaleWorld, scale, part, atScale, problems);
        runRound(emptyWorld, empty, part, atEmpty, problems);
    }
    if (part == Part::Vault) {
        Report report(rounds);
        report.compared("save a new record (Save and Close -> main window refilled)", atScale.save,
                        atEmpty.save);
        report.compared("list all records (filter -> \"All Records\")", atScale.listAll,
                        atEmpty.listAll);
        report.compared("filter one category (~250 lines)", atScale.filterOne, atEmpty.filterOne);
        report.compared("main window activation (editor closed -> lists refilled)",
                        atScale.activation, atEmpty.activation);
        report.problems(problems);
        return 0;
    }
    if (part == Part::Journal) {
        Report report(rounds);
        report.compared("previous entry across two years", atScale.previous, atEmpty.previous);
        report.compared("next entry across two years", atScale.next, atEmpty.next);
        report.firstLogin(atScale.firstLogin, atEmpty.firstLogin);
        report.journal(atScale.keys, atEmpty.keys, atScale.openDay, atEmpty.openDay);
        report.problems(problems);
        return 0;
    }
    QList<GrowthFigures> grown;
    for (int i = 0; i < growth.size(); ++i) {
        BenchWorld world(root, growth[i].name, paths[2 + i]);
        grown.append(runGrowth(world, growth[i], problems));
    }
    const long emptyKb = measureMemory(paths[1], empty.recordsPerUser);
    const long bigKb = measureMemory(paths[4], growth[2].recordsPerUser);

    Report report(rounds);
    if (!growthOnly) {
        report.compared("save a new record (Save and Close -> main window refilled)", atScale.save,
                        atEmpty.save);
        report.compared("list all records (filter -> \"All Records\")", atScale.listAll,
                        atEmpty.listAll);
        report.compared("filter one category (~250 lines)", atScale.filterOne, atEmpty.filterOne);
        report.compared("main window activation (editor closed -> lists refilled)",
                        atScale.activation, atEmpty.activation);
        report.compared("log out and in again", atScale.logOutIn, atEmpty.logOutIn);
        report.compared("previous entry across two years", atScale.previous, atEmpty.previous);
        report.compared("next entry across two years", atScale.next, atEmpty.next);
        report.firstLogin(atScale.firstLogin, atEmpty.firstLogin);
        reportFirstLoginOnX(report, paths.mid(0, 2), users, rounds, problems);
        report.journal(atScale.keys, atEmpty.keys, atScale.openDay, atEmpty.openDay);
    }
    report.growth(grown[0].listAll, grown[1].listAll, grown[2].listAll, "listing");
    report.growth(grown[0].filterOne, grown[1].filterOne, grown[2].filterOne, "filtering");
    report.growth(grown[0].save, grown[1].save, grown[2].save, "saving");
    report.firstSave(grown[0].firstSave, grown[1].firstSave, grown[2].firstSave);
    report.growth(grown[0].activation, grown[1].activation, grown[2].activation, "activation");
    report.growth(grown[0].firstSearchKey, grown[1].firstSearchKey, grown[2].firstSearchKey,
                  "1st key, read ahead");
    report.growth(grown[0].searchAtOnce, grown[1].searchAtOnce, grown[2].searchAtOnce,
                  "Ctrl+F, key at once");
    report.growth(grown[0].searchKeys, grown[1].searchKeys, grown[2].searchKeys, "search keys");
    report.savingDoesNotGrow(grown[0].save, grown[2].save);
    report.memory(bigKb, emptyKb);
    report.problems(problems);
    return 0;
}

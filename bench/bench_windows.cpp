// What the user waits for in the real windows, driven offscreen by their names: each action
// from its click or key until the event loop is idle again (repaint included), on a database of
// 10 users x 2,000 records x 3,650 journal days against a nearly empty one (rounds interleaved),
// one user's growth from 1,000 to 50,000 records, a 1 MB journal entry, peak memory, and the
// comparison again with the measured user's account protected (its values sealed, logged in
// with its pass phrase). Every figure is printed beside its goal with "ok" or "over".
//
//   bench_windows [--rounds N]       (N rounds of the scale/empty comparison, 5 by default)
//   bench_windows --protected N      (only the protected account's figures, N rounds)
//   bench_windows --growth           (only one user's growth, plain and protected, and the
//                                     memory figures)
//   bench_windows --journal N        (only the journal's figures, N rounds)
//   bench_windows --vault N          (only the record list's figures, N rounds)
//   bench_windows --login N          (only the first login on an X server, N programs each)
//
// The first login is measured on an X server as well: a private Xvfb on a free display when the
// machine has one, else the display the bench runs under (xvfb-run -a); skipped without either.
//
// The heap overwrites what it takes back and keeps no per-thread cache, as in the program
// (KEYSTEAD_BENCH_PERTURB=0 leaves both out and =cache the cache in, to measure what they cost).
//
// The filled databases are kept under /tmp/keystead-bench-windows (or $KEYSTEAD_BENCH_CACHE),
// so only the first run pays for the fill; the protected copies beside them. Everything else lives
// in a private folder of the run; the real home folder is never used.
#include <QApplication>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "WindowsActions.h"
#include "WindowsFill.h"
#include "WindowsGrowth.h"
#include "WindowsProtected.h"
#include "WindowsReport.h"
#include "WindowsWorld.h"
#include "WindowsX11.h"
#include "app/ProcessMemory.h"

using namespace ks;
using namespace ks::bench;

namespace {

// Which actions a round times. A protected account's rounds time all of them and its search.
enum class Part { All, Journal, Vault, Login, Protected };

struct ComparedFigures {
    Samples firstLogin, listAll, filterOne, save, activation, logOutIn, previous, next, openDay,
        keys, firstSearchKey, searchKeys, lock, elsewhere, syncLogOut;
};

// The vault's search box, a few keys: the first reads the texts searched in.
void searchRound(WindowActions& actions, ComparedFigures& figures) {
    const QList<double> keys = actions.searchKeys(QStringLiteral("harb"));
    figures.firstSearchKey.add(keys.first());
    for (qsizetype i = 1; i < keys.size(); ++i) {
        figures.searchKeys.add(keys.at(i));
    }
}

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
        figures.elsewhere.add(actions.changesFromElsewhere());
    }
    if (part == Part::Protected) {
        if (!world.program().state().CurrentAccount.isProtected()) {
            actions.problems.append(QStringLiteral("the account logged in is not protected"));
        }
        searchRound(actions, figures);
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
    for (int i = 0; i < (part == Part::All || part == Part::Protected ? 2 : 0); ++i) {
        figures.logOutIn.add(actions.logOutAndIn());
        figures.lock.add(actions.lockAndIn());
        figures.syncLogOut.add(actions.logOutWithSync());
    }
    world.stop();
    for (const QString& problem : actions.problems) {
        if (!problems.contains(plan.name + QStringLiteral(": ") + problem)) {
            problems.append(plan.name + QStringLiteral(": ") + problem);
        }
    }
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

// `rounds` rounds on the scale and the nearly empty database (`paths`), interleaved round by
// round, in worlds named for `kind` whose users log in with `secret`.
std::array<ComparedFigures, 2> runRounds(const QString& root, const QString& kind,
                                         const QList<FillPlan>& plans, const QStringList& paths,
                                         const QString& secret, Part part, int rounds,
                                         QStringList& problems) {
    std::array<ComparedFigures, 2> figures;
    if (rounds <= 0) {
        return figures;
    }
    BenchWorld scaleWorld(root, QStringLiteral("scale") + kind, paths[0], secret);
    BenchWorld emptyWorld(root, QStringLiteral("empty") + kind, paths[1], secret);
    for (int round = 0; round < rounds; ++round) {
        runRound(scaleWorld, plans[0], part, figures[0], problems);
        runRound(emptyWorld, plans[1], part, figures[1], problems);
    }
    return figures;
}

// The rows of the scale/empty comparison that `part` measured, but the journal's own.
void reportCompared(Report& report, Part part, const std::array<ComparedFigures, 2>& figures) {
    const ComparedFigures& scale = figures[0];
    const ComparedFigures& empty = figures[1];
    if (part != Part::Journal) {
        report.compared("save a new record (Save and Close -> main window refilled)", scale.save,
                        empty.save);
        report.compared("list all records (filter -> \"All Records\")", scale.listAll,
                        empty.listAll);
        report.compared("filter one category (~250 lines)", scale.filterOne, empty.filterOne);
        report.compared("main window activation (editor closed -> lists refilled)",
                        scale.activation, empty.activation);
        report.compared("changes from another machine shown (every list refilled)", scale.elsewhere,
                        empty.elsewhere);
    }
    if (part == Part::All || part == Part::Protected) {
        report.compared("log out and in again", scale.logOutIn, empty.logOutIn);
        report.sessionEnd("lock (idle moment -> login window, journal text saved)", scale.lock,
                          empty.lock);
        report.sessionEnd("log out, a sync folder chosen (one saved record written)",
                          scale.syncLogOut, empty.syncLogOut);
    }
    if (part == Part::Protected) {
        report.compared("search records: 1st key (texts read ahead)", scale.firstSearchKey,
                        empty.firstSearchKey);
        report.compared("search records: each later key", scale.searchKeys, empty.searchKeys);
    }
    if (part != Part::Vault) {
        report.compared("previous entry across two years", scale.previous, empty.previous);
        report.compared("next entry across two years", scale.next, empty.next);
        report.firstLogin(scale.firstLogin, empty.firstLogin);
    }
}

void reportJournal(Report& report, const std::array<ComparedFigures, 2>& figures) {
    report.journal(figures[0].keys, figures[1].keys, figures[0].openDay, figures[1].openDay);
}

// The protected account's rounds: the measured user of each database protected (on a copy kept
// beside it) and logged in with its pass phrase.
std::array<ComparedFigures, 2> runProtectedRounds(const QString& root, const QList<FillPlan>& plans,
                                                  const QStringList& paths, int rounds,
                                                  QStringList& problems) {
    QStringList protectedPaths;
    QList<FillPlan> protectedPlans;
    for (int i = 0; i < (rounds > 0 ? 2 : 0); ++i) {
        protectedPaths.append(cachedProtectedDatabase(plans[i], paths[i]));
        protectedPlans.append(plans[i]);
        protectedPlans.last().name += QStringLiteral(" protected");
        if (protectedPaths.last().isEmpty()) {
            problems.append(protectedPlans.last().name + QStringLiteral(": could not be made"));
            return {};
        }
    }
    return runRounds(root, QStringLiteral("-protected"), protectedPlans, protectedPaths,
                     userPassPhrase(), Part::Protected, rounds, problems);
}

void reportProtected(Report& report, const std::array<ComparedFigures, 2>& figures) {
    report.section(
        "protected account (the measured user's values sealed with its data key, logged in\n"
        "through the login window with its pass phrase; the stretching is the cheapest, so the\n"
        "logins leave out the pass phrase's deliberate cost)",
        ", protected account");
    reportCompared(report, Part::Protected, figures);
    reportJournal(report, figures);
}

// The filled databases of `plans`, in their order; empty when one could not be filled.
QStringList cachedDatabases(const QList<FillPlan>& plans) {
    const QString templatePath =
        QCoreApplication::applicationDirPath() + QStringLiteral("/Template.dat");
    QStringList paths;
    for (const FillPlan& p : plans) {
        paths.append(cachedDatabase(p, templatePath));
        if (paths.last().isEmpty()) {
            std::fprintf(stderr, "could not fill %s\n", qPrintable(p.name));
            return {};
        }
    }
    return paths;
}

// Only the figures of one part: the journal's, the record list's or the protected account's.
void reportPart(Part part, int rounds, const std::array<ComparedFigures, 2>& plain,
                const std::array<ComparedFigures, 2>& sealed, const QStringList& problems) {
    Report report(rounds);
    if (part == Part::Protected) {
        reportProtected(report, sealed);
    } else {
        reportCompared(report, part, plain);
    }
    if (part == Part::Journal) {
        reportJournal(report, plain);
    }
    report.problems(problems);
}

struct Options {
    Part part = Part::All;
    int rounds = 5;
    bool growthOnly = false;
};

Options parseOptions(int argc, char** argv) {
    Options options;
    options.growthOnly = argc == 2 && std::strcmp(argv[1], "--growth") == 0;
    if (options.growthOnly) {
        options.rounds = 0;
    } else if (argc == 3) {
        const auto is = [argv](const char* name) { return std::strcmp(argv[1], name) == 0; };
        options.part = is("--journal")     ? Part::Journal
                       : is("--vault")     ? Part::Vault
                       : is("--login")     ? Part::Login
                       : is("--protected") ? Part::Protected
                                           : Part::All;
        options.rounds = std::atoi(argv[2]);
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    // The heap as in the program; "cache" keeps the heap's per-thread cache, "0" all defaults.
    if (const QString heap = qEnvironmentVariable("KEYSTEAD_BENCH_PERTURB");
        heap != QStringLiteral("0")) {
        guardProcessMemory(heap == QStringLiteral("cache") ? nullptr : argv);
    }
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
    const Options options = parseOptions(argc, argv);
    const Part part = options.part;
    const int rounds = options.rounds;
    const QList<FillPlan> compared = {plan("scale-10x2000x3650", 10, 2000, true, true),
                                      plan("nearly-empty", 1, 8, false, false)};
    const QList<FillPlan> growth = {plan("one-user-1k", 1, 1000, false, false),
                                    plan("one-user-10k", 1, 10000, false, false),
                                    plan("one-user-50k", 1, 50000, false, false)};
    const QStringList paths = cachedDatabases(compared + growth);
    if (paths.isEmpty()) {
        return 1;
    }
    const QList<int> users = {measuredIndex(compared[0]), measuredIndex(compared[1])};

    QStringList problems;
    if (part == Part::Login) {
        Report report(rounds);
        reportFirstLoginOnX(report, paths.mid(0, 2), users, rounds, problems);
        report.problems(problems);
        return 0;
    }
    const std::array<ComparedFigures, 2> plain = runRounds(
        root, QString(), compared, paths, userPassword(),
        part == Part::Protected ? Part::All : part, part == Part::Protected ? 0 : rounds, problems);
    const std::array<ComparedFigures, 2> sealed =
        part == Part::All || part == Part::Protected
            ? runProtectedRounds(root, compared, paths, rounds, problems)
            : std::array<ComparedFigures, 2>{};
    if (part != Part::All) {
        reportPart(part, rounds, plain, sealed, problems);
        return 0;
    }
    const GrownFigures grown = runGrowthAndMemory(root, growth, paths.mid(2), paths[1],
                                                  compared[1].recordsPerUser, problems);
    const GrownFigures sealedGrown = runProtectedGrowth(root, growth, paths.mid(2), problems);
    Report report(rounds);
    if (!options.growthOnly) {
        reportCompared(report, part, plain);
        reportFirstLoginOnX(report, paths.mid(0, 2), users, rounds, problems);
        reportJournal(report, plain);
    }
    reportGrowth(report, grown);
    reportGrowth(report, sealedGrown, "one protected user");
    if (!options.growthOnly) {
        reportProtected(report, sealed);
    }
    report.problems(problems);
    return 0;
}

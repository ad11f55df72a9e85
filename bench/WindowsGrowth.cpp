#include "WindowsGrowth.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "WindowsActions.h"
#include "WindowsProtected.h"

namespace ks::bench {

namespace {

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
        double allFound = 0;
        figures.searchAtOnce.add(again.searchAtOnce(QLatin1Char('h'), allFound));
        figures.searchAllFound.add(allFound);
    }
    world.stop();
    for (const QString& problem : actions.problems + again.problems) {
        problems.append(plan.name + QStringLiteral(": ") + problem);
    }
    return figures;
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

}  // namespace

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

GrownFigures runGrowthAndMemory(const QString& root, const QList<FillPlan>& growth,
                                const QStringList& paths, const QString& emptyPath,
                                int emptyRecords, QStringList& problems) {
    GrownFigures figures;
    for (int i = 0; i < growth.size(); ++i) {
        BenchWorld world(root, growth[i].name, paths[i]);
        figures.grown.append(runGrowth(world, growth[i], problems));
    }
    figures.emptyKb = measureMemory(emptyPath, emptyRecords);
    figures.bigKb = measureMemory(paths.last(), growth.last().recordsPerUser);
    return figures;
}

GrownFigures runProtectedGrowth(const QString& root, const QList<FillPlan>& growth,
                                const QStringList& paths, QStringList& problems) {
    GrownFigures figures;
    for (int i = 0; i < growth.size(); ++i) {
        FillPlan plan = growth[i];
        plan.name += QStringLiteral("-protected");
        const QString sealed = cachedProtectedDatabase(growth[i], paths[i]);
        if (sealed.isEmpty()) {
            problems.append(plan.name + QStringLiteral(": could not be made"));
            return {};
        }
        BenchWorld world(root, plan.name, sealed, userPassPhrase());
        figures.grown.append(runGrowth(world, plan, problems));
    }
    return figures;
}

void reportGrowth(Report& report, const GrownFigures& figures, const char* whose) {
    const QList<GrowthFigures>& grown = figures.grown;
    if (grown.size() < 3) {
        return;
    }
    const auto growth = [&](Samples GrowthFigures::*kind, const char* what) {
        report.growth(grown[0].*kind, grown[1].*kind, grown[2].*kind, what, whose);
    };
    growth(&GrowthFigures::listAll, "listing");
    growth(&GrowthFigures::filterOne, "filtering");
    growth(&GrowthFigures::save, "saving");
    report.firstSave(grown[0].firstSave, grown[1].firstSave, grown[2].firstSave);
    growth(&GrowthFigures::activation, "activation");
    growth(&GrowthFigures::firstSearchKey, "1st key, read ahead");
    growth(&GrowthFigures::searchAtOnce, "Ctrl+F, key at once");
    growth(&GrowthFigures::searchKeys, "search keys");
    report.allFound(grown[0].searchAllFound, grown[1].searchAllFound, grown[2].searchAllFound);
    report.savingDoesNotGrow(grown[0].save, grown[2].save);
    if (figures.bigKb > 0 || figures.emptyKb > 0) {
        report.memory(figures.bigKb, figures.emptyKb);
    }
}

}  // namespace ks::bench

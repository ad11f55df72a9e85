#include "WindowsReport.h"

#include <QFile>
#include <cstdio>

#include "BenchSupport.h"

namespace ks::bench {

namespace {

const char* verdict(bool ok) {
    return okOrOver(ok);
}

// An action at scale against the nearly empty database.
constexpr RatioGoal kComparedGoal{2.0, 30.0};

double ratio(double value, double baseline) {
    return baseline > 0 ? value / baseline : 0.0;
}

}  // namespace

Report::Report(int rounds) {
    std::printf(
        "\nKeystead windows, offscreen: milliseconds from the click or key until the event loop\n"
        "is idle again (repaint included). %d rounds, the scale database (10 users x 2,000\n"
        "records x 3,650 journal days) and the nearly empty one (1 user, 8 records, 5 journal\n"
        "days) interleaved round by round; median and worst.\n",
        rounds);
    // Wall-clock figures grow with whatever else the machine is doing.
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly)) {
        std::printf("Load average of the machine at the end of the run: %s\n",
                    load.readLine().split(' ').value(0).constData());
    }
}

void Report::heading(const char* title) {
    std::printf("\n%s\n", title);
}

void Report::section(const char* title, const char* journalTag) {
    heading(title);
    comparedHeading_ = false;
    journalTag_ = journalTag;
}

void Report::compared(const char* action, const Samples& scale, const Samples& empty) {
    if (!comparedHeading_) {
        heading(
            "action                                                      scale: median  worst"
            " | empty: median  worst |  ratio | goal                           |");
        comparedHeading_ = true;
    }
    std::printf("%-58s %15.1f %6.1f | %14.1f %6.1f | x%5.1f | %-30s | %s\n", action, scale.median(),
                scale.worst(), empty.median(), empty.worst(), ratio(scale.median(), empty.median()),
                ratioGoalText(kComparedGoal).c_str(),
                verdict(ratioOk(scale.median(), empty.median(), kComparedGoal)));
}

void Report::firstLogin(const Samples& scale, const Samples& empty) {
    std::printf("%-58s %15.1f %6.1f | %14.1f %6.1f | x%5.1f | %-30s | %s\n",
                "first login -> main window", scale.median(), scale.worst(), empty.median(),
                empty.worst(), ratio(scale.median(), empty.median()), "< 100 ms at scale",
                verdict(scale.median() < 100.0));
}

void Report::sessionEnd(const char* action, const Samples& scale, const Samples& empty) {
    std::printf("%-58s %15.1f %6.1f | %14.1f %6.1f | x%5.1f | %-30s | %s\n", action, scale.median(),
                scale.worst(), empty.median(), empty.worst(), ratio(scale.median(), empty.median()),
                "< 200 ms at scale", verdict(!scale.empty() && scale.median() < 200.0));
}

void Report::firstLoginOnX(const Samples& scale, const Samples& empty, const QString& server) {
    const char* what = "first login -> main window painted, on an X server";
    if (server.isEmpty()) {
        std::printf("%-58s skipped: no X server\n", what);
        return;
    }
    std::printf("%-58s %15.1f %6.1f | %14.1f %6.1f | x%5.1f | %-30s | %s\n", what, scale.median(),
                scale.worst(), empty.median(), empty.worst(), ratio(scale.median(), empty.median()),
                "< 100 ms at scale", verdict(!scale.empty() && scale.median() < 100.0));
    std::printf("  (on %s; each login a freshly started program)\n", qPrintable(server));
}

void Report::journal(const Samples& bigKeys, const Samples& smallKeys, const Samples& bigOpen,
                     const Samples& smallOpen) {
    std::printf(
        "\njournal%s (1 MB entry at scale; the empty database's short entry for "
        "comparison)\n",
        journalTag_);
    std::printf(
        "%-58s %8.2f p90 %6.2f max | small entry: p90 %6.2f max %6.2f | goal p90 < 5, "
        "max < 10 | %s\n",
        "a key in a 1 MB journal entry", bigKeys.p90(), bigKeys.worst(), smallKeys.p90(),
        smallKeys.worst(), verdict(bigKeys.p90() < 5.0 && bigKeys.worst() < 10.0));
    std::printf(
        "%-58s %8.1f med %6.1f max | small entry: med %6.1f max %6.1f | goal < 50 ms"
        "           | %s\n",
        "opening a day that holds a 1 MB entry (Next Day)", bigOpen.median(), bigOpen.worst(),
        smallOpen.median(), smallOpen.worst(), verdict(bigOpen.median() < 50.0));
}

void Report::growth(const Samples& at1k, const Samples& at10k, const Samples& at50k,
                    const char* what, const char* whose) {
    const QString title = QString::fromLatin1(whose) +
                          QStringLiteral(", 1k / 10k / 50k records (medians; worst at 50k)");
    if (growthHeading_ != title) {
        growthHeading_ = title;
        heading(title.toLatin1().constData());
    }
    std::printf("%-18s %9.1f / %9.1f / %9.1f ms  (worst %7.1f) | goal < 100 ms at 50k | %s\n", what,
                at1k.median(), at10k.median(), at50k.median(), at50k.worst(),
                verdict(at50k.median() < 100.0));
}

void Report::allFound(const Samples& at1k, const Samples& at10k, const Samples& at50k) {
    std::printf("%-18s %9.1f / %9.1f / %9.1f ms                  | goal < 1 s at 50k    | %s\n",
                "... all found", at1k.median(), at10k.median(), at50k.median(),
                verdict(!at50k.empty() && at50k.median() < 1000.0));
}

void Report::firstSave(const Samples& at1k, const Samples& at10k, const Samples& at50k) {
    std::printf("%-18s %9.1f / %9.1f / %9.1f ms                  | goal < 30 ms at 50k  | %s\n",
                "1st save", at1k.median(), at10k.median(), at50k.median(),
                verdict(!at50k.empty() && at50k.median() < 30.0));
}

void Report::savingDoesNotGrow(const Samples& at1k, const Samples& at50k) {
    // It must not grow with the table.
    const RatioGoal goal{2.0};
    std::printf("%-18s x%.1f (50k against 1k)                  | goal %s | %s\n", "saving's growth",
                ratio(at50k.median(), at1k.median()), ratioGoalText(goal).c_str(),
                verdict(ratioOk(at50k.median(), at1k.median(), goal)));
}

void Report::memory(long bigKb, long emptyKb) {
    heading("memory (resident peak of a session: login, list, filter, save, activation)");
    const double r = ratio(static_cast<double>(bigKb), static_cast<double>(emptyKb));
    std::printf("50,000 records %7.1f MB, nearly empty %7.1f MB: x%.2f | goal <= 1.5x | %s\n",
                static_cast<double>(bigKb) / 1024.0, static_cast<double>(emptyKb) / 1024.0, r,
                verdict(bigKb > 0 && emptyKb > 0 && r <= 1.5));
}

void Report::problems(const QStringList& problems) {
    if (problems.isEmpty()) {
        std::printf("\nEvery measured action showed what it should.\n");
        return;
    }
    std::printf("\nPROBLEMS (the figures of these actions mean nothing):\n");
    for (const QString& problem : problems) {
        std::printf("  %s\n", qPrintable(problem));
    }
}

}  // namespace ks::bench

#pragma once

#include <QStringList>

#include "WindowsWorld.h"

namespace ks::bench {

// Prints each figure beside its goal with "ok" or "over".
class Report {
public:
    explicit Report(int rounds);

    // Starts a section of its own: the figures that follow are of what `title` says, and the
    // journal's heading carries `journalTag` (", protected account").
    void section(const char* title, const char* journalTag);

    // An action at scale against the same action on the nearly empty database (medians): under
    // one frame, or under 30 ms and at most twice the empty figure.
    void compared(const char* action, const Samples& scale, const Samples& empty);
    // The lock, from the moment the time without use is up to the login window: under 200 ms
    // at scale.
    // An end of the session (a lock, a logout with a sync folder): its goal is < 200 ms.
    void sessionEnd(const char* action, const Samples& scale, const Samples& empty);
    // First login to the main window: under 100 ms at scale.
    void firstLogin(const Samples& scale, const Samples& empty);
    // The same on an X server (`server` says which), until the main window is painted: under
    // 100 ms at scale. Without a server, says it was skipped.
    void firstLoginOnX(const Samples& scale, const Samples& empty, const QString& server);
    // Keys in a 1 MB entry (p90 under 5 ms, worst under 10 ms) and opening its day (under 50 ms).
    void journal(const Samples& bigKeys, const Samples& smallKeys, const Samples& bigOpen,
                 const Samples& smallOpen);
    // One user with 1k / 10k / 50k records: under 100 ms at 50k. The first figure of a kind of
    // user (`whose`: "one user", "one protected user") gets a heading.
    void growth(const Samples& at1k, const Samples& at10k, const Samples& at50k, const char* what,
                const char* whose = "one user");
    // Ctrl+F and a key at once until the search has listed all it finds, the window taking keys
    // and painting meanwhile: under a second at 50k.
    void allFound(const Samples& at1k, const Samples& at10k, const Samples& at50k);
    // The first save of a session at 1k / 10k / 50k records: under 30 ms at 50k.
    void firstSave(const Samples& at1k, const Samples& at10k, const Samples& at50k);
    // Saving at 50k against saving at 1k: under one frame, or at most twice (it must not grow
    // with the table).
    void savingDoesNotGrow(const Samples& at1k, const Samples& at50k);
    // Resident peak at 50,000 records within 1.5x the nearly empty database.
    void memory(long bigKb, long emptyKb);
    // What went wrong in the windows during the run (figures of failed actions mean nothing).
    void problems(const QStringList& problems);

private:
    void heading(const char* title);

    bool comparedHeading_ = false;
    QString growthHeading_;
    const char* journalTag_ = "";
};

}  // namespace ks::bench

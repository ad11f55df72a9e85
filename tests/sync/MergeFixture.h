#pragma once

// Machines for the merge tests: data folders of their own in one test world, each holding a
// database, and what a test reads and changes in them directly.
#include <QtTest>
#include <map>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "core/Account.h"
#include "storage/Database.h"
#include "sync/DatabaseMerge.h"

namespace ks::test {

struct Machine {
    QString folder;
    std::unique_ptr<DatabaseAccess> database;

    DatabaseAccess& db() { return *database; }
};

// Made in a test's init() and dropped in its cleanup(), which checks that no message was shown.
class MergeWorld {
public:
    MergeWorld();
    ~MergeWorld();

    TestEnvironment env;
    ScriptedDialogs dialogs;
    std::map<QString, Machine> machines;

    // A machine with a fresh database, or with a copy of another machine's database file.
    Machine& machine(const QString& name);
    Machine& copyOf(const QString& name, const QString& original);

    // Merges machine `from`'s database into machine `into`'s (written, or only planned).
    MergeOutcome merge(const QString& into, const QString& from, bool write = true,
                       const std::function<bool(int)>& failAfter = {},
                       const QList<Account>& keys = {});

    // Every row of the content tables (the shared categories aside), every tombstone and every
    // kept version, without the keys and times that belong to one database only.
    QStringList digest(const QString& name);

    // The owner value of `name`, made a plain account with the password "secret1".
    QString account(const QString& machineName, const QString& name = QStringLiteral("anna"));
    qint64 addRecord(const QString& name, const Account& account, const QString& shortName,
                     const QString& password = QStringLiteral("pw"));
    void editRecord(const QString& name, const Account& account, qint64 counter,
                    const QString& shortName, const QString& password);
    // Sets the time of last write of a row (by its key).
    void setModified(const QString& name, const QString& table, qint64 key, qint64 modified);
    // A picture row with these bytes; its Counter.
    qint64 addPicture(const QString& name, const QString& owner, const QByteArray& bytes);
    qint64 countOf(const QString& name, const QString& sql);
    QString textOf(const QString& name, const QString& sql);
};

// The counts of one kind of an account's report.
QString countsText(const MergeReport& report, const QString& owner, int kind);

}  // namespace ks::test

// Three machines and one sync folder: random operations through the real stores, interleaved
// with random, partial and reordered copies of the sync files between each machine's view of
// the folder (half-written files, any order, a machine offline for a while). After a final full
// round every machine holds the same content, and every version of a record ever saved is
// current or in history everywhere.
#include <QtTest>

#include <random>

#include "MergeFixture.h"
#include "ProtectedAccount.h"
#include "SyncViews.h"
#include "core/AccountValues.h"
#include "crypto/FieldCipher.h"
#include "files/FileStore.h"
#include "images/ImageStore.h"
#include "journal/JournalStore.h"
#include "options/AccountProtection.h"
#include "options/ConversionParts.h"
#include "options/PasswordChange.h"
#include "sync/SyncFolder.h"
#include "vault/CategoryStore.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QStringList kMachines = {u"m0"_s, u"m1"_s, u"m2"_s};

}  // namespace

class SyncConvergenceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MergeWorld> world;
    std::mt19937 random;
    const HistorySettings keep{HistorySettings::kMostVersions, HistorySettings::kMostDeletedDays};
    QList<Account> accounts;  // anna, then the protected one once made
    Account annaKey;          // anna with her data key, once protected on one machine
    int rowsSealed = 0;       // rows of anna's written before her protection reached their machine
    QMap<QString, QSet<QString>> holders;  // owner -> machines that hold the account
    QMap<QString, QSet<QString>> saved;    // owner -> every record version saved
    QString offline;                       // a machine that neither copies nor syncs
    int backOnline = 0;
    int serial = 0;

    int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); }
    QString view(const QString& machine) { return world->env.root() + u"view-"_s + machine + u'/'; }
    DatabaseAccess& db(const QString& machine) { return world->machines.at(machine).db(); }

    bool annaProtectedOn(const QString& machine) {
        return annaKey.isProtected() &&
               world->countOf(machine,
                              u"SELECT count(*) FROM Users WHERE UserName = '%1' AND "
                              "KeyWrapped IS NOT NULL"_s.arg(annaKey.owner)) > 0;
    }
    // The account as a session on the machine holds it: anna with her key once her protection
    // is there, in the shared format before.
    Account form(const QString& machine, const Account& account) {
        return account.owner == annaKey.owner && annaProtectedOn(machine) ? annaKey : account;
    }

    // A pass as the program makes it with every account logged in that has a key there. The
    // pass that takes anna's protection is followed by one with her key, as her next login's.
    SyncOutcome sync(const QString& machine) {
        SyncRequest request;
        request.dataFolder = world->machines.at(machine).folder;
        request.syncFolder = view(machine);
        request.machineName = machine;
        request.keys = accounts.mid(1);
        request.sealUnsealed = [](DatabaseAccess& database, const Account& account) {
            return finishProtection(database, account, accountConversionParts());
        };
        const bool annaProtected = annaProtectedOn(machine);
        if (annaProtected) {
            request.keys << annaKey;
        }
        SyncOutcome outcome = syncOnce(db(machine), request);
        if (outcome.ok() && !annaProtected && annaProtectedOn(machine)) {
            request.keys << annaKey;
            const SyncOutcome login = syncOnce(db(machine), request);
            rowsSealed += login.rowsSealed;
            outcome.status = login.status;
            outcome.skipped += login.skipped;
            outcome.filesApplied += login.filesApplied;
            outcome.filesWritten += login.filesWritten;
        }
        for (const Account& account : accounts) {
            if (world->countOf(machine, u"SELECT count(*) FROM Users WHERE UserName = '%1'"_s.arg(
                                            account.owner)) > 0) {
                holders[account.owner].insert(machine);
            }
        }
        return outcome;
    }

    QStringList removedBy(const QString& from, const QMap<QString, qint64>& source,
                          const QMap<QString, qint64>& target) {
        return test::removedByWriter(world->textOf(from, u"SELECT DeviceId FROM SyncDevice"_s),
                                     source, target);
    }

    // Copies one file of one view into another (whole, or cut short as a copy still running),
    // or passes on the removal of a file by its writer.
    void copyStep() {
        const QString from = kMachines.at(pick(3));
        const QString to = kMachines.at(pick(3));
        if (from == to || from == offline || to == offline) {
            return;
        }
        const QMap<QString, qint64> source = test::viewFiles(view(from));
        const QMap<QString, qint64> target = test::viewFiles(view(to));
        const QStringList removed = removedBy(from, source, target);
        if (!removed.isEmpty() && pick(3) == 0) {
            QVERIFY(QFile::remove(view(to) + removed.at(pick(int(removed.size())))));
            return;
        }
        QStringList missing;
        for (auto it = source.cbegin(); it != source.cend(); ++it) {
            if (target.value(it.key(), -1) < it.value()) {
                missing << it.key();
            }
        }
        if (!missing.isEmpty()) {
            const QString file = missing.at(pick(int(missing.size())));
            QByteArray bytes = test::readBytes(view(from) + file);
            if (pick(4) == 0) {
                bytes.truncate(pick(int(bytes.size())));
            }
            test::writeFile(view(to) + file, bytes);
        }
    }

    // One random operation on a machine, through the stores as the program makes it.
    void operate(const QString& machine) {
        const QList<Account> held = [&] {
            QList<Account> mine;
            for (const Account& account : accounts) {
                if (holders.value(account.owner).contains(machine)) {
                    mine << account;
                }
            }
            return mine;
        }();
        const Account account = form(machine, held.at(pick(int(held.size()))));
        const int kind = pick(100);
        if (kind < 22) {
            create(machine, account);
        } else if (kind < 50) {
            edit(machine, account);
        } else if (kind < 58) {
            remove(machine, account);
        } else if (kind < 73) {
            writeDay(machine, account);
        } else if (kind < 80) {
            addPicture(machine, account);
        } else if (kind < 85) {
            addFile(machine, account);
        } else if (kind < 90) {
            changeCategories(machine, account);
        } else if (machine != offline) {
            const SyncOutcome outcome = sync(machine);
            QVERIFY2(outcome.ok(), qPrintable(outcome.status.detail));
        }
    }

    qint64 anyRecord(const QString& machine, const Account& account) {
        const qint64 count = world->countOf(
            machine, u"SELECT count(*) FROM Logins WHERE KeyUserName = '%1'"_s.arg(account.owner));
        if (count <= 0) {
            return 0;
        }
        return world->countOf(machine,
                              u"SELECT Counter FROM Logins WHERE KeyUserName = '%1' "
                              "ORDER BY Counter LIMIT 1 OFFSET %2"_s.arg(account.owner)
                                  .arg(pick(int(count))));
    }
    void save(const QString& machine, const Account& account, qint64 counter, RecordFields f) {
        RecordStore store(db(machine), &keep);
        const SaveResult result =
            counter ? store.UpdateRecord(account, counter, f) : store.CreateRecord(account, f);
        QCOMPARE(result.outcome, SaveOutcome::Saved);
        // The version as the store keeps it (a record without a category is filed as unfiled).
        const auto shown = store.ShowRecord(account, result.counter);
        QVERIFY(shown.ok() && shown.value());
        f = shown.value()->fields;
        saved[account.owner].insert(test::joined(
            {f.shortName, f.userName, f.password, f.description, f.notes, f.category}));
    }
    void create(const QString& machine, const Account& account) {
        ++serial;
        save(machine, account, 0,
             {u"Record %1 %2"_s.arg(serial).arg(machine),
              u"user %1"_s.arg(serial),
              u"pw %1"_s.arg(serial),
              {},
              {},
              {}});
    }
    void edit(const QString& machine, const Account& account, const QString& category = {}) {
        const qint64 counter = anyRecord(machine, account);
        if (counter == 0) {
            return create(machine, account);
        }
        RecordStore store(db(machine), &keep);
        const auto shown = store.ShowRecord(account, counter);
        QVERIFY(shown.ok() && shown.value());
        RecordFields f = shown.value()->fields;
        ++serial;
        (pick(2) ? f.password : f.notes) = u"changed %1 on %2"_s.arg(serial).arg(machine);
        if (!category.isEmpty()) {
            f.category = category;
        } else if (pick(8) == 0) {
            f.shortName = u"Renamed %1"_s.arg(serial);
        }
        save(machine, account, counter, f);
    }
    void remove(const QString& machine, const Account& account) {
        if (const qint64 counter = anyRecord(machine, account)) {
            QCOMPARE(RecordStore(db(machine), &keep).DeleteRecord(account, counter).value(), 1);
        }
    }
    void writeDay(const QString& machine, const Account& account) {
        const QString day = u"%1/03/2026"_s.arg(1 + pick(9), 2, 10, QChar(u'0'));
        const QString text = u"entry %1 on %2"_s.arg(++serial).arg(machine);
        const JournalKeeping keeping{keep.versionsKept, false};
        const Result<bool> written =
            account.isProtected()
                ? writeSealedJournalEntry(db(machine), account, day, text, QDate(2026, 12, 1),
                                          keeping)
                : writeJournalEntry(db(machine), account.owner, day, storedJournalValue(text),
                                    QDate(2026, 12, 1), keeping);
        QVERIFY2(written.ok(), qPrintable(written.status().detail));
    }
    QString scratchFile(const QString& name) {
        const QString path = world->env.root() + u"scratch/"_s + name;
        QByteArray bytes(1000 + pick(20'000), Qt::Uninitialized);
        for (char& c : bytes) {
            c = char(pick(256));
        }
        test::writeFile(path, bytes);
        return path;
    }
    void addPicture(const QString& machine, const Account& account) {
        const QList<ImageLine> lines = ListImages(db(machine), account).value();
        if (!lines.isEmpty() && pick(3) == 0) {
            QVERIFY(DeleteImages(db(machine), account, {lines.at(pick(int(lines.size()))).counter})
                        .ok());
            return;
        }
        const QString path = scratchFile(u"picture %1.png"_s.arg(++serial));
        QVERIFY(!AddImages(db(machine), account, {path}).failure);
    }
    void addFile(const QString& machine, const Account& account) {
        const QString path = scratchFile(u"archive %1.bin"_s.arg(++serial));
        const Result<qint64> added =
            addStoredFile(db(machine), account,
                          {u"file %1.txt"_s.arg(serial), QFileInfo(path).size(),
                           QDateTime(QDate(2026, 1, 2), {})},
                          path);
        QVERIFY2(added.ok(), qPrintable(added.status().detail));
    }
    void changeCategories(const QString& machine, const Account& account) {
        const QString name = u"Group %1"_s.arg(pick(4));
        if (pick(4) == 0) {
            QVERIFY(DeleteCategory(db(machine), account, name, keep).ok());
            return;
        }
        AddCategory(db(machine), account, name);  // refused when it is there already
        edit(machine, account, name);
    }

    // Changes the shared account's password once, protects a new account once, and then protects
    // the shared account on one machine while the others still have it in the shared format.
    void milestones(int op, int operations) {
        const QString machine = kMachines.at(pick(3));
        if (op == operations / 3) {
            const QString stored = world->textOf(
                machine,
                u"SELECT Password FROM Users WHERE UserName = '%1'"_s.arg(accounts.first().owner));
            const PasswordChangeOutcome changed = ChangePassword(
                db(machine), accounts.first().owner, stored, u"secret1"_s, u"secret2"_s);
            QVERIFY2(changed.result == PasswordChangeOutcome::Result::Changed,
                     qPrintable(changed.status.detail));
        }
        if (op == operations / 2) {
            accounts << test::protectedAccount(db(machine), u"zoe"_s);
            holders[accounts.last().owner].insert(machine);
        }
        if (op == 2 * operations / 3) {
            const QString anna = accounts.first().owner;
            const QString stored = world->textOf(
                machine, u"SELECT Password FROM Users WHERE UserName = '%1'"_s.arg(anna));
            const QString password = DecryptField(stored).trimmed();
            const ProtectionOutcome made =
                protectAccount(db(machine), anna, password, u"anna's pass phrase"_s,
                               test::cheapKdf(), accountConversionParts(), {});
            QVERIFY2(made.result == ProtectionOutcome::Result::Protected,
                     qPrintable(made.status.detail));
            annaKey = made.account;
        }
    }

    void goOffline(int op) {
        if (!offline.isEmpty() && op >= backOnline) {
            offline.clear();
        } else if (offline.isEmpty() && pick(100) == 0) {
            offline = kMachines.at(pick(3));
            backOnline = op + 50 + pick(150);
        }
    }

    // Every file of every view copied whole everywhere, then a pass on each machine, until a
    // round applies and writes nothing.
    void finalRounds() {
        offline.clear();
        for (int round = 0; round < 8; ++round) {
            QMap<QString, QString> everywhere;  // each file whole, from its writer's view
            for (const QString& machine : kMachines) {
                const QMap<QString, qint64> files = test::viewFiles(view(machine));
                for (const QString& other : kMachines) {
                    for (const QString& file :
                         removedBy(machine, files, test::viewFiles(view(other)))) {
                        QVERIFY(QFile::remove(view(other) + file));
                    }
                }
                for (auto it = files.cbegin(); it != files.cend(); ++it) {
                    if (QFileInfo(everywhere.value(it.key())).size() < it.value()) {
                        everywhere.insert(it.key(), view(machine) + it.key());
                    }
                }
            }
            for (const QString& machine : kMachines) {
                for (auto it = everywhere.cbegin(); it != everywhere.cend(); ++it) {
                    const QByteArray whole = test::readBytes(it.value());
                    if (it.value() != view(machine) + it.key() &&
                        QFileInfo(view(machine) + it.key()).size() != whole.size()) {
                        test::writeFile(view(machine) + it.key(), whole);
                    }
                }
            }
            int work = 0;
            for (const QString& machine : kMachines) {
                const SyncOutcome outcome = sync(machine);
                QVERIFY2(outcome.ok() && outcome.skipped.isEmpty(),
                         qPrintable(outcome.status.detail + outcome.skipped.join(u'\n')));
                work += outcome.filesApplied + outcome.filesWritten;
            }
            if (work == 0) {
                return;
            }
        }
        QFAIL("the machines did not come to rest");
    }

    // What a machine holds: every content row as stored (a protected account's values sealed,
    // so equal bytes mean equal values) and every account's records decrypted.
    QStringList content(const QString& machine) {
        QStringList rows = world->digest(machine).filter(QRegularExpression(
            u"^(Users|Logins|LoginsCategory|Journals|Images|Files|Tombstones)\\|"_s));
        Result<Connection> connection = db(machine).open();
        for (const Account& account : accounts) {
            for (const QString& record :
                 test::decryptedRecords(connection.value(), form(machine, account), "Logins")) {
                rows << account.owner + u'|' + record;
            }
        }
        rows.sort();
        return rows;
    }

private Q_SLOTS:
    void init() { world = std::make_unique<test::MergeWorld>(); }
    void cleanup() { world.reset(); }

    void threeMachinesConverge() {
        const int operations = qEnvironmentVariableIsSet("KEYSTEAD_SYNC_OPERATIONS")
                                   ? qEnvironmentVariableIntValue("KEYSTEAD_SYNC_OPERATIONS")
                                   : 2000;
        const quint32 seed = qEnvironmentVariableIsSet("KEYSTEAD_SYNC_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("KEYSTEAD_SYNC_SEED"))
                                 : 27u;
        qInfo("%d operations, seed %u (KEYSTEAD_SYNC_OPERATIONS, KEYSTEAD_SYNC_SEED)", operations,
              seed);
        random.seed(seed);
        for (const QString& machine : kMachines) {
            world->machine(machine);
            QVERIFY(QDir().mkpath(view(machine)));
        }
        accounts << Account(world->account(u"m0"_s));
        finalRounds();
        for (int op = 0; op < operations && !QTest::currentTestFailed(); ++op) {
            goOffline(op);
            milestones(op, operations);
            operate(kMachines.at(pick(3)));
            for (int copies = pick(4); copies > 0; --copies) {
                copyStep();
            }
        }
        QVERIFY(!QTest::currentTestFailed());
        finalRounds();
        const QStringList first = content(u"m0"_s);
        QVERIFY(first.size() > 100);
        QVERIFY(!first.join(u'\n').contains(u"(damaged)"_s));
        qInfo("%d rows sealed where the protection came from elsewhere", rowsSealed);
        QVERIFY(rowsSealed > 0);
        for (const QString& machine : kMachines) {
            // anna is protected everywhere, and nothing of hers is left in the shared format.
            QVERIFY(annaProtectedOn(machine));
            QCOMPARE(
                world->countOf(machine,
                               u"SELECT count(*) FROM Logins WHERE KeyUserName = "
                               "'%1' AND substr(ShortName, 1, 4) <> 'ks1:'"_s.arg(annaKey.owner)),
                0);
        }
        QStringList lost;
        for (const QString& machine : kMachines) {
            QCOMPARE(content(machine), first);
            Result<Connection> connection = db(machine).open();
            for (const Account& held : accounts) {
                const Account account = form(machine, held);
                const QStringList versions =
                    test::decryptedRecords(connection.value(), account, "Logins") +
                    test::decryptedRecords(connection.value(), account, "LoginsHistory");
                for (const QString& version : saved.value(account.owner)) {
                    if (!versions.contains(version)) {
                        lost << machine + u": "_s + version;
                    }
                }
            }
        }
        QVERIFY2(lost.isEmpty(), qPrintable(lost.join(u'\n')));
    }
};

QTEST_MAIN(SyncConvergenceTest)
#include "tst_sync_convergence.moc"

// The sync folder: this machine's files written privately and atomically, other machines' files
// applied once, the device id that a copied or restored data folder gives up, and every kind of
// damaged, foreign, half-copied or hostile file skipped with a note and nothing changed.
#include <QtTest>

#include "MergeFixture.h"
#include "ProtectedAccount.h"
#include "SyncViews.h"
#include "core/AccountKeys.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "options/AccountProtection.h"
#include "options/ConversionParts.h"
#include "storage/DatabaseCopy.h"
#include "storage/Schema.h"
#include "sync/SyncFolder.h"
#include "sync/SyncNames.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

// A device id no machine of the test has.
const QString kForeignDevice = u"0123456789abcdef0123456789abcdef"_s;

QString nameFor(qint64 sequence, const QByteArray& bytes, const char* kind = "ksc") {
    return u"%1.%2.%3"_s.arg(sequence, 12, 10, QChar(u'0'))
        .arg(syncing::bytesHash(bytes), QLatin1String(kind));
}

// The files of a folder, by relative path.
QStringList filesIn(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << QDir(folder).relativeFilePath(it.next());
    }
    files.sort();
    return files;
}

// Makes a file of our schema, keyed with `key`, with a SyncFile row and `extra` run on it.
QByteArray madeFile(const QString& path, const QByteArray& key, const QString& device,
                    qint64 sequence, const QString& extra = {}) {
    {
        Result<Connection> file = Connection::openFile(path, key, true);
        if (!file.ok() || !file->exec(u"PRAGMA cipher_page_size = 1024"_s).ok() ||
            !createSchema(file.value()).ok()) {
            return {};
        }
        Statement row = file->prepare(
            u"INSERT INTO SyncFile (DeviceId, Sequence, MachineName, Made) VALUES (?1, ?2, 'x', 1)"_s);
        row.bind(1, device).bind(2, sequence);
        if (!row.run().ok() || (!extra.isEmpty() && !file->exec(extra).ok())) {
            return {};
        }
    }
    const QByteArray bytes = test::readBytes(path);
    QFile::remove(path);
    return bytes;
}

}  // namespace

class SyncFolderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MergeWorld> world;

    SyncRequest requestFor(const QString& machine, const QString& folder) {
        SyncRequest request;
        request.dataFolder = world->machines.at(machine).folder;
        request.syncFolder = folder;
        request.machineName = machine;
        return request;
    }
    SyncOutcome sync(const QString& machine, const QString& folder) {
        return syncOnce(world->machines.at(machine).db(), requestFor(machine, folder));
    }
    QString idOf(const QString& machine) {
        const Result<QString> id =
            syncDeviceId(world->machines.at(machine).db(), world->machines.at(machine).folder);
        return id.ok() ? id.value() : QString();
    }

    // A sync folder and two machines, a and b, with anna's account on a.
    struct TwoMachines {
        QString folder;
        QString anna;
    };
    TwoMachines twoMachines() {
        TwoMachines made{world->env.root() + u"sync/"_s, {}};
        QDir().mkpath(made.folder);
        world->machine(u"a"_s);
        world->machine(u"b"_s);
        made.anna = world->account(u"a"_s);
        return made;
    }

    // The account as a login with its pass phrase on `machine` holds it.
    Account unlocked(const QString& machine, const QString& owner, const QString& passPhrase) {
        Result<Connection> connection = world->machines.at(machine).db().open();
        const Result<std::optional<StoredAccountKey>> stored =
            readAccountKey(connection.value(), owner);
        if (!stored.ok() || !stored.value()) {
            return Account(owner);
        }
        SecretBytes dataKey =
            unlockAccountKey(passPhrase, stored.value()->record, stored.value()->binding(owner));
        return dataKey.empty()
                   ? Account(owner)
                   : Account(owner, std::make_shared<const SecretBytes>(std::move(dataKey)));
    }

    // Replaces the database's bytes in place (the same file, as a restore by the engine leaves
    // it), with those of `bytes`.
    void overwriteDatabase(const QString& machine, const QByteArray& bytes) {
        DatabaseAccess& database = world->machines.at(machine).db();
        database.CloseAllDatabaseObjects();
        QFile file(database.path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    // Plants damaged, foreign, half-copied and hostile files in `view`: in the folder of the
    // device `idA` (whose two files are `written`) and in one of a device that never wrote.
    void plant(const QString& view, const QString& idA, const QStringList& written,
               const QByteArray& snapshot, const QByteArray& change) {
        const QString other = kForeignDevice;
        const QString mine = view + idA + u'/';
        const QString theirs = view + other + u'/';
        QVERIFY(QDir().mkpath(mine) && QDir().mkpath(theirs));

        QByteArray flipped = change;
        flipped[flipped.size() / 2] = char(flipped.at(flipped.size() / 2) ^ 0x20);
        const QByteArray noise = QByteArray(5000, 'n');
        const QByteArray ourKey = PassPhrase().toUtf8();
        const QString scratch = world->env.root() + u"made.db"_s;
        const QString rows =
            u"INSERT INTO Users (UserName, Password, Uuid, Modified) VALUES ('evil', 'p', "
            "randomblob(16), 1); INSERT INTO %1 (%2, UserName, Uuid, Modified) VALUES ('%3', "
            "'evil', randomblob(16), 1)"_s;
        const QList<std::pair<QString, QByteArray>> files = {
            {mine + written.at(0), snapshot.left(snapshot.size() / 2)},  // half copied
            {mine + written.at(1), flipped},                             // a flipped byte
            {mine + nameFor(7, change), change},                         // another sequence
            {mine + nameFor(999'999'999'999, change), change},           // a huge one
            {mine + u"9999999999999."_s + syncing::bytesHash(change) + u".ksc"_s, change},
            {mine + nameFor(5, {}), {}},        // empty
            {mine + nameFor(6, noise), noise},  // right hash, no database
            {theirs + written.at(1), change},   // its row names another device
            {theirs + u"notes.txt"_s, "x"},
        };
        for (const auto& [path, bytes] : files) {
            test::writeFile(path, bytes);
        }
        const QList<std::tuple<QByteArray, qint64, QString>> made = {
            {"another key", 1, {}},
            {ourKey, 2, u"CREATE TABLE Evil (x)"_s},
            {ourKey, 3, rows.arg(u"Images"_s, u"ImageName"_s, u"../../x"_s)},
            {ourKey, 4, rows.arg(u"Files"_s, u"FileName"_s, u"a/b"_s)}};
        for (const auto& [key, sequence, extra] : made) {
            const QByteArray bytes = madeFile(scratch, key, other, sequence, extra);
            QVERIFY(!bytes.isEmpty());
            test::writeFile(theirs + nameFor(sequence, bytes), bytes);
        }
        test::writeFile(world->env.root() + u"elsewhere.ksc"_s, change);
        QVERIFY(QFile::link(world->env.root() + u"elsewhere.ksc"_s, mine + nameFor(3, change)));
        QVERIFY(QDir().mkpath(mine + nameFor(4, change)));
        QVERIFY(QDir().mkpath(view + u"not-a-device"_s));
        test::writeFile(view + u"not-a-device/"_s + written.at(1), change);
        QVERIFY(QDir().mkpath(world->env.root() + u"linked"_s));
        QVERIFY(QFile::link(world->env.root() + u"linked"_s,
                            view + u"fedcba9876543210fedcba9876543210"_s));
    }

private Q_SLOTS:
    void init() { world = std::make_unique<test::MergeWorld>(); }
    void cleanup() { world.reset(); }

    // Changes go from one machine to the other and back: the first file is a snapshot, a later
    // one holds only the machine's own change (never what came from elsewhere); files and
    // folders are private; a second pass changes nothing.
    void changesTravelBothWays() {
        const auto [folder, anna] = twoMachines();
        QVERIFY(QFileInfo(folder).isDir());
        world->addPicture(u"a"_s, anna, QByteArray(200'000, 'p'));
        world->addRecord(u"a"_s, anna, u"Bank"_s);
        SyncOutcome written = sync(u"a"_s, folder);
        QVERIFY2(written.ok(), qPrintable(written.status.detail));
        QCOMPARE(written.filesWritten, 1);
        QVERIFY(written.snapshotWritten);
        const QString idA = idOf(u"a"_s);
        QCOMPARE(test::fileMode(folder + idA), 0700);
        const QStringList files = filesIn(folder + idA);
        QCOMPARE(files.size(), 1);
        QVERIFY(files.first().endsWith(u".kss"_s));
        QCOMPARE(test::fileMode(folder + idA + u'/' + files.first()), 0600);

        SyncOutcome applied = sync(u"b"_s, folder);
        QVERIFY2(applied.ok(), qPrintable(applied.status.detail));
        QCOMPARE(applied.filesApplied, 1);
        QVERIFY(applied.skipped.isEmpty());
        QCOMPARE(applied.machines.size(), 1);
        QCOMPARE(applied.machines.first().name, u"a"_s);
        QVERIFY(applied.machines.first().allApplied);
        // b wrote its snapshot of everything; a takes it without a change.
        QCOMPARE(sync(u"a"_s, folder).applied.writes, 0);
        QCOMPARE(world->digest(u"a"_s), world->digest(u"b"_s));

        // One change on b: a small file holding b's own write only.
        world->editRecord(u"b"_s, Account(anna),
                          world->countOf(u"b"_s, u"SELECT Counter FROM Logins"_s), u"Bank"_s,
                          u"new"_s);
        written = sync(u"b"_s, folder);
        QCOMPARE(written.filesWritten, 1);
        QVERIFY(!written.snapshotWritten);
        QVERIFY2(written.bytesWritten < 64 * 1024,
                 qPrintable(QString::number(written.bytesWritten)));
        applied = sync(u"a"_s, folder);
        QCOMPARE(applied.filesApplied, 1);
        QCOMPARE(world->textOf(u"a"_s, u"SELECT count(*) FROM LoginsHistory"_s), u"1"_s);
        QCOMPARE(world->digest(u"a"_s), world->digest(u"b"_s));
        // Nothing new anywhere: nothing written, nothing applied.
        for (const QString& machine : {u"a"_s, u"b"_s}) {
            const SyncOutcome idle = sync(machine, folder);
            QCOMPARE(idle.filesApplied + idle.filesWritten, 0);
        }
        // A big stored picture is written once: the change of a record after it is small again,
        // though the file that carried the picture weighs about what the database does.
        constexpr qsizetype kBig = 8 * 1024 * 1024;
        world->addPicture(u"b"_s, anna, QByteArray(kBig, 'q'));
        written = sync(u"b"_s, folder);
        QVERIFY(!written.snapshotWritten && written.bytesWritten > kBig);
        world->editRecord(u"b"_s, Account(anna),
                          world->countOf(u"b"_s, u"SELECT Counter FROM Logins"_s), u"Bank"_s,
                          u"newer"_s);
        written = sync(u"b"_s, folder);
        QVERIFY2(!written.snapshotWritten && written.bytesWritten < 64 * 1024,
                 qPrintable(QString::number(written.bytesWritten)));
    }

    // An account that cannot be merged (protected separately on each machine) leaves the file
    // that carries it unapplied, with a note, and tried again later; the other accounts' changes
    // in the same file come in.
    void anAccountLeftAloneKeepsItsFileForLater() {
        const auto [folder, anna] = twoMachines();
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(sync(u"a"_s, folder).ok() && sync(u"b"_s, folder).ok());
        test::protectedAccount(world->machines.at(u"a"_s).db(), u"zoe"_s);
        test::protectedAccount(world->machines.at(u"b"_s).db(), u"zoe"_s);
        world->addRecord(u"a"_s, Account(anna), u"Bank"_s);
        QVERIFY(sync(u"a"_s, folder).filesWritten == 1);
        for (int pass = 0; pass < 2; ++pass) {
            const SyncOutcome applied = sync(u"b"_s, folder);
            QVERIFY2(applied.ok(), qPrintable(applied.status.detail));
            QCOMPARE(applied.filesApplied, 0);
            QCOMPARE(applied.skipped.size(), 1);
            QVERIFY2(applied.skipped.first().contains(u"zoe: not merged"_s),
                     qPrintable(applied.skipped.first()));
            QCOMPARE(applied.machines.size(), 1);
            QVERIFY(!applied.machines.first().allApplied);
            QCOMPARE(applied.machines.first().notes.size(), 1);
            QCOMPARE(world->countOf(u"b"_s, u"SELECT count(*) FROM Logins"_s),
                     world->countOf(u"a"_s, u"SELECT count(*) FROM Logins"_s));
        }
    }

    // An account protected on one machine while another still has it in the shared format: the
    // protected side leaves the other's unprotected rows out; the other takes the protection
    // (not while it is logged in there without the key), and at its first login with the pass
    // phrase seals what it made meanwhile and sends it again; then both hold the same, sealed.
    void aProtectionMadeOnOneMachineIsTakenByTheOther() {
        const auto [folder, anna] = twoMachines();
        const qint64 bank = world->addRecord(u"a"_s, Account(anna), u"Bank"_s);
        world->addRecord(u"a"_s, Account(anna), u"Mail"_s);
        QVERIFY(sync(u"a"_s, folder).ok() && sync(u"b"_s, folder).filesApplied == 1);
        // b changes the account before it hears of the protection.
        world->editRecord(u"b"_s, Account(anna), bank, u"Bank"_s, u"changed on b"_s);
        world->addRecord(u"b"_s, Account(anna), u"Made on b"_s, u"pw b"_s);
        world->addPicture(u"b"_s, anna, QByteArray(3000, 'p'));
        QCOMPARE(sync(u"b"_s, folder).filesWritten, 1);

        const QString passPhrase = u"a long pass phrase"_s;
        const ProtectionOutcome made =
            protectAccount(world->machines.at(u"a"_s).db(), anna, u"secret1"_s, passPhrase,
                           test::cheapKdf(), accountConversionParts(), {});
        QCOMPARE(made.result, ProtectionOutcome::Result::Protected);
        const SyncOutcome onA = sync(u"a"_s, folder);
        QVERIFY2(onA.ok() && onA.filesApplied >= 1 && onA.skipped.isEmpty(),
                 qPrintable(onA.status.detail + onA.skipped.join(u'\n') +
                            QString::number(onA.filesApplied)));
        // The two records, the picture and the kept version at least.
        QVERIFY(onA.applied.accounts.first().leftUnsealed >= 4);
        QVERIFY(mergeReportLines(onA.applied).join(u'\n').contains(u"not protected yet"_s));
        const auto sealedNames = [&](const QString& machine) {
            return world->countOf(machine,
                                  u"SELECT count(*) FROM Logins WHERE substr(ShortName, "
                                  "1, 4) <> 'ks1:'"_s) +
                   world->countOf(machine,
                                  u"SELECT count(*) FROM Images WHERE substr(ImageName, "
                                  "1, 4) <> 'ks1:'"_s);
        };
        QCOMPARE(sealedNames(u"a"_s), 0);

        // Logged in on b without the key: the protection waits, and is noted.
        SyncRequest session = requestFor(u"b"_s, folder);
        session.keys = {Account(anna)};
        const SyncOutcome waiting = syncOnce(world->machines.at(u"b"_s).db(), session);
        QCOMPARE(waiting.filesApplied, 0);
        QVERIFY(waiting.skipped.size() == 1 &&
                waiting.skipped.first().contains(u"when this session ends"_s));
        QCOMPARE(
            world->countOf(u"b"_s, u"SELECT count(*) FROM Users WHERE KeyWrapped IS NOT NULL"_s),
            0);

        // Without a session the protection is taken; what b made stays as it is until the key
        // is at hand.
        const SyncOutcome taken = sync(u"b"_s, folder);
        QVERIFY(taken.ok() && taken.filesApplied == 1 && taken.skipped.isEmpty());
        QVERIFY(taken.applied.accounts.first().protectionTaken);
        QVERIFY(mergeReportLines(taken.applied).join(u'\n').contains(u"pass phrase"_s));
        QCOMPARE(
            world->countOf(u"b"_s, u"SELECT count(*) FROM Users WHERE KeyWrapped IS NOT NULL"_s),
            1);
        QCOMPARE(sealedNames(u"b"_s), 2);  // the record and the picture made on b

        // The first login with the pass phrase there.
        const Account key = unlocked(u"b"_s, anna, passPhrase);
        QVERIFY(key.isProtected());
        SyncRequest login = requestFor(u"b"_s, folder);
        login.keys = {key};
        login.sealUnsealed = [](DatabaseAccess& database, const Account& account) {
            return finishProtection(database, account, accountConversionParts());
        };
        const SyncOutcome sealed = syncOnce(world->machines.at(u"b"_s).db(), login);
        QVERIFY2(sealed.ok(), qPrintable(sealed.status.detail));
        QVERIFY(sealed.rowsSealed >= 3 && sealed.filesWritten == 1);
        QCOMPARE(sealedNames(u"b"_s), 0);
        // Nothing is left to seal the next time.
        QCOMPARE(finishProtection(world->machines.at(u"b"_s).db(), key, accountConversionParts())
                     .value(),
                 0);

        login.dataFolder = world->machines.at(u"a"_s).folder;
        login.machineName = u"a"_s;
        login.keys = {made.account};
        const SyncOutcome back = syncOnce(world->machines.at(u"a"_s).db(), login);
        QVERIFY(back.ok() && back.filesApplied == 1 && back.rowsSealed == 0);
        QCOMPARE(back.applied.accounts.first().leftUnsealed, 0);
        QCOMPARE(sealedNames(u"a"_s), 0);
        for (const char* table : {"Logins", "LoginsHistory"}) {
            Result<Connection> connectionA = world->machines.at(u"a"_s).db().open();
            Result<Connection> connectionB = world->machines.at(u"b"_s).db().open();
            QStringList fromA = test::decryptedRecords(connectionA.value(), made.account, table);
            QStringList fromB = test::decryptedRecords(connectionB.value(), key, table);
            fromA.sort();
            fromB.sort();
            QCOMPARE(fromA, fromB);
            QVERIFY(!fromA.join(u' ').contains(u"(damaged)"_s));
        }
        // b's record and its change (kept in history: the protection was written later).
        QCOMPARE(world->countOf(u"a"_s, u"SELECT count(*) FROM Logins"_s), 3);
        QVERIFY(test::decryptedRecords(world->machines.at(u"a"_s).db().open().value(), made.account,
                                       "LoginsHistory")
                    .join(u' ')
                    .contains(u"changed on b"_s));
        QCOMPARE(world->countOf(u"a"_s, u"SELECT count(*) FROM Images"_s), 1);
    }

    // A machine's new snapshot covers its older files: their notes here are forgotten, so that
    // the notes do not grow with every file a machine ever wrote.
    void notesOfCoveredFilesAreForgotten() {
        const auto [folder, anna] = twoMachines();
        QVERIFY(QFileInfo(folder).isDir());
        world->addRecord(u"a"_s, Account(anna), u"Bank"_s);
        const auto edit = [&](const QString& password) {
            world->editRecord(u"a"_s, Account(anna),
                              world->countOf(u"a"_s, u"SELECT Counter FROM Logins"_s), u"Bank"_s,
                              password);
            QCOMPARE(sync(u"a"_s, folder).filesWritten, 1);
        };
        QCOMPARE(sync(u"a"_s, folder).filesWritten, 1);
        edit(u"second"_s);
        QCOMPARE(sync(u"b"_s, folder).filesApplied, 2);
        const QString notes = u"SELECT count(*) FROM SyncApplied"_s;
        QCOMPARE(world->countOf(u"b"_s, notes), 2);
        // The machine's files are gone from the folder (as a clean-up of it may leave it): its
        // next file is a snapshot, which covers the two.
        QVERIFY(QDir(folder + idOf(u"a"_s)).removeRecursively());
        edit(u"third"_s);
        const SyncOutcome applied = sync(u"b"_s, folder);
        QCOMPARE(applied.filesApplied, 1);
        QVERIFY(applied.machines.first().allApplied);
        QCOMPARE(world->countOf(u"b"_s, notes), 1);
        QCOMPARE(world->digest(u"a"_s), world->digest(u"b"_s));
    }

    // Changed twice and deleted there: every version comes here with the deletion.
    void versionsOfARecordDeletedElsewhereComeAlong() {
        const auto [folder, anna] = twoMachines();
        QVERIFY(QFileInfo(folder).isDir());
        const qint64 counter = world->addRecord(u"a"_s, anna, u"Bank"_s);
        QVERIFY(sync(u"a"_s, folder).ok() && sync(u"b"_s, folder).ok());
        world->editRecord(u"a"_s, Account(anna), counter, u"Bank"_s, u"second"_s);
        world->editRecord(u"a"_s, Account(anna), counter, u"Bank"_s, u"third"_s);
        QCOMPARE(RecordStore(world->machines.at(u"a"_s).db()).DeleteRecord(anna, counter).value(),
                 1);
        QCOMPARE(sync(u"a"_s, folder).filesWritten, 1);
        QCOMPARE(sync(u"b"_s, folder).filesApplied, 1);
        for (const QString& password : {u"pw"_s, u"second"_s, u"third"_s}) {
            QCOMPARE(world->countOf(
                         u"b"_s, u"SELECT count(*) FROM LoginsHistory WHERE Password = '%1'"_s.arg(
                                     EncryptField(password))),
                     1);
        }
    }

    // A folder that is not there, none, a file, and this machine's folder there taken by a
    // link: each a failure that says so, with nothing made or written anywhere.
    void foldersThatCannotBeUsedAreClearFailures() {
        world->machine(u"a"_s);
        const QString anna = world->account(u"a"_s);
        world->addRecord(u"a"_s, anna, u"Bank"_s);
        // A folder that is not there is a failure that says so, and nothing is made.
        const QString missing = world->env.root() + u"gone/"_s;
        const SyncOutcome failed = sync(u"a"_s, missing);
        QVERIFY(!failed.ok());
        QVERIFY(failed.status.detail.contains(missing));
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(!sync(u"a"_s, QString()).ok());
        test::writeFile(world->env.root() + u"plain"_s, "x");
        QVERIFY(
            sync(u"a"_s, world->env.root() + u"plain"_s).status.detail.contains(u"not a folder"_s));
        // This machine's folder there taken by a link: nothing is written through it.
        const QString other = world->env.root() + u"other/"_s;
        const QString target = world->env.root() + u"target/"_s;
        QVERIFY(QDir().mkpath(other) && QDir().mkpath(target));
        QVERIFY(QFile::link(target, other + idOf(u"a"_s)));
        world->addRecord(u"a"_s, anna, u"Linked"_s);
        const SyncOutcome linked = sync(u"a"_s, other);
        QVERIFY2(!linked.ok() && linked.status.detail.contains(u"not a folder"_s),
                 qPrintable(linked.status.detail));
        QVERIFY(QDir(target).isEmpty());
    }

    // A copied data folder, a database imported from another one, and one restored after its
    // machine wrote on: each takes a new id, and the restored one gets back what it had written
    // since from its former files.
    void copiedOrRestoredDataFoldersTakeNewIds() {
        const auto [folder, anna] = twoMachines();
        QVERIFY(QFileInfo(folder).isDir());
        world->addRecord(u"a"_s, anna, u"Before"_s);
        const QString idA = idOf(u"a"_s);
        QVERIFY(syncing::isDeviceId(idA));
        QCOMPARE(idOf(u"a"_s), idA);
        QVERIFY(sync(u"a"_s, folder).ok());
        const QString idB = idOf(u"b"_s);
        QVERIFY(idB != idA);
        world->copyOf(u"copy"_s, u"a"_s);
        const QString idCopy = idOf(u"copy"_s);
        QVERIFY(idCopy != idA && syncing::isDeviceId(idCopy));
        QCOMPARE(idOf(u"a"_s), idA);

        // Restored: the state before a change that went to the folder.
        world->machines.at(u"a"_s).db().CloseAllDatabaseObjects();
        const QByteArray before = test::readBytes(world->machines.at(u"a"_s).db().path());
        world->addRecord(u"a"_s, anna, u"After"_s);
        QCOMPARE(sync(u"a"_s, folder).filesWritten, 1);
        overwriteDatabase(u"a"_s, before);
        const SyncOutcome restored = sync(u"a"_s, folder);
        QVERIFY2(restored.ok(), qPrintable(restored.status.detail));
        QVERIFY(idOf(u"a"_s) != idA);
        QCOMPARE(world->countOf(u"a"_s, u"SELECT count(*) FROM Logins"_s), 2);

        // Imported from another data folder: not that folder's id either.
        world->machines.at(u"b"_s).db().CloseAllDatabaseObjects();
        const QString idNow = idOf(u"a"_s);
        overwriteDatabase(u"a"_s, test::readBytes(world->machines.at(u"b"_s).db().path()));
        const QString idImported = idOf(u"a"_s);
        QVERIFY(idImported != idNow && idImported != idB && syncing::isDeviceId(idImported));
    }

    // Damaged, foreign, half-copied and hostile files and folders: each is skipped with a note,
    // changes nothing and is tried again; the half-copied ones apply once they are whole, and no
    // name in a row ever becomes a path.
    void hostileFilesAreSkippedWithANote() {
        const QString folder = world->env.root() + u"sync/"_s;
        const QString view = world->env.root() + u"view/"_s;
        QVERIFY(QDir().mkpath(folder));
        world->machine(u"a"_s);
        world->machine(u"c"_s);
        const QString anna = world->account(u"a"_s);
        world->addRecord(u"a"_s, anna, u"First"_s);
        QVERIFY(sync(u"a"_s, folder).snapshotWritten);
        world->addRecord(u"a"_s, anna, u"Second"_s);
        QCOMPARE(sync(u"a"_s, folder).filesWritten, 1);
        const QString idA = idOf(u"a"_s);
        const QStringList written = filesIn(folder + idA);
        QCOMPARE(written.size(), 2);
        const QByteArray snapshot = test::readBytes(folder + idA + u'/' + written.at(0));
        const QByteArray change = test::readBytes(folder + idA + u'/' + written.at(1));
        plant(view, idA, written, snapshot, change);
        const QString mine = view + idA + u'/';

        const QStringList digest = world->digest(u"c"_s);
        const QStringList viewFiles = filesIn(view);
        const qsizetype planted = 17;  // files and folders, see plant()
        for (int pass = 0; pass < 2; ++pass) {
            const SyncOutcome outcome =
                applySyncFolder(world->machines.at(u"c"_s).db(), requestFor(u"c"_s, view));
            QVERIFY2(outcome.ok(), qPrintable(outcome.status.detail));
            QCOMPARE(outcome.filesApplied, 0);
            QVERIFY2(outcome.skipped.size() == planted, qPrintable(outcome.skipped.join(u'\n')));
            QCOMPARE(world->digest(u"c"_s), digest);
            QCOMPARE(filesIn(view), viewFiles);
            QCOMPARE(outcome.machines.size(), 2);
            for (const SyncMachine& machine : outcome.machines) {
                QVERIFY(!machine.allApplied);
                QCOMPARE(machine.notes.size(), machine.id == idA ? 9 : 6);
            }
        }
        QCOMPARE(world->countOf(u"c"_s, u"SELECT count(*) FROM Logins"_s), 0);
        for (const QString& path :
             {world->env.root() + u"x"_s, view + u"x"_s, view + kForeignDevice + u"/a/b"_s,
              world->machines.at(u"c"_s).folder + u"a/b"_s}) {
            QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
        }

        // Made whole, the half-copied and damaged files apply; the rest stay noted.
        test::writeFile(mine + written.at(0), snapshot);
        test::writeFile(mine + written.at(1), change);
        const SyncOutcome whole =
            applySyncFolder(world->machines.at(u"c"_s).db(), requestFor(u"c"_s, view));
        QCOMPARE(whole.filesApplied, 2);
        QCOMPARE(whole.skipped.size(), planted - 2);
        QCOMPARE(world->countOf(u"c"_s, u"SELECT count(*) FROM Logins"_s), 2);
        QCOMPARE(world->digest(u"c"_s), world->digest(u"a"_s));
    }
};

QTEST_MAIN(SyncFolderTest)
#include "tst_sync_folder.moc"

// The sync folder: this machine's files written privately and atomically, other machines' files
// applied once, the device id that a copied or restored data folder gives up, and every kind of
// damaged, foreign, half-copied or hostile file skipped with a note and nothing changed.
#include <QtTest>

#include "MergeFixture.h"
#include "crypto/PassPhrase.h"
#include "storage/DatabaseCopy.h"
#include "storage/Schema.h"
#include "sync/SyncFolder.h"
#include "sync/SyncNames.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

[[maybe_unused]] QString nameFor(qint64 sequence, const QByteArray& bytes,
                                 const char* kind = "ksc") {
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
[[maybe_unused]] QByteArray madeFile(const QString& path, const QByteArray& key,
                                     const QString& device, qint64 sequence,
                                     const QString& extra = {}) {
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

private Q_SLOTS:
    void init() { world = std::make_unique<test::MergeWorld>(); }
    void cleanup() { world.reset(); }

    // Changes go from one machine to the other and back: the first file is a snapshot, a later
    // one holds only the machine's own change (never what came from elsewhere); files and
    // folders are private; a second pass changes nothing; a missing folder is a clear failure.
    void changesTravelBothWays() {
        const QString folder = world->env.root() + u"sync/"_s;
        QVERIFY(QDir().mkpath(folder));
        world->machine(u"a"_s);
        world->machine(u"b"_s);
        const QString anna = world->account(u"a"_s);
        world->addPicture(u"a"_s, anna, QByteArray(200'000, 'p'));
        const qint64 first = world->addRecord(u"a"_s, anna, u"Bank"_s);
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
        Q_UNUSED(first);

        // A folder that is not there is a failure that says so, and nothing is made.
        const QString missing = world->env.root() + u"gone/"_s;
        const SyncOutcome failed = sync(u"a"_s, missing);
        QVERIFY(!failed.ok());
        QVERIFY(failed.status.detail.contains(missing));
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(!sync(u"a"_s, QString()).ok());
    }
};

QTEST_MAIN(SyncFolderTest)
#include "tst_sync_folder.moc"

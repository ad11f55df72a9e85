#include "sync/SyncFileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include "crypto/PassPhrase.h"
#include "protection/TextSeal.h"
#include "storage/CheckOutPaths.h"
#include "storage/CopyHelpers.h"
#include "storage/Schema.h"
#include "storage/SchemaCheck.h"
#include "storage/SchemaUpgrade.h"

namespace ks::syncing {

namespace {

// A file of a few rows stays small with 1 KiB pages, although every table and index of the
// schema takes a page of its own.
const QString kSyncPageSize = QStringLiteral("PRAGMA cipher_page_size = 1024");

// Keys by salt: deriving one costs tens of milliseconds, and a pass reads many files of a few
// devices.
QByteArray cachedKey(const QByteArray& salt, bool withSalt) {
    static QMutex mutex;
    static QHash<QByteArray, QByteArray> keys;
    const QByteArray id = salt + (withSalt ? "+" : "-");
    {
        const QMutexLocker lock(&mutex);
        if (auto it = keys.constFind(id); it != keys.constEnd()) {
            return *it;
        }
    }
    const QByteArray key =
        withSalt ? rawKeyWithSalt(PassPhrase(), salt) : rawKeyFor(PassPhrase(), salt);
    const QMutexLocker lock(&mutex);
    keys.insert(id, key);
    return key;
}

DbStatus refusal(const QString& why) {
    return {DbCode::NotADatabase, why};
}

// The file is exactly its pages: a copy cut short at a page's end passes the engine's checks.
DbStatus wholeFile(Connection& file, const QString& path) {
    Statement pages = file.prepare(QStringLiteral("PRAGMA page_count"));
    Statement size = file.prepare(QStringLiteral("PRAGMA page_size"));
    if (!pages.next() || !size.next()) {
        return refusal(QStringLiteral("not a database of this program"));
    }
    if (pages.integer(0) * size.integer(0) != QFileInfo(path).size()) {
        return refusal(QStringLiteral("not whole"));
    }
    return {};
}

DbStatus schemaOf(Connection& file) {
    const SchemaVerdict verdict = checkSchema(file);
    if (!verdict.status.ok()) {
        return refusal(QStringLiteral("not a database of this program"));
    }
    if (verdict.fit == SchemaFit::Foreign) {
        return refusal(QStringLiteral("a foreign schema: %1").arg(verdict.reasons.join(u"; ")));
    }
    if (verdict.fit == SchemaFit::Older) {
        return bringSchemaUpToDate(file, UpgradeRule::Strict);
    }
    return {};
}

DbStatus writerOf(Connection& file, const QString& deviceId, const SyncFileName& name) {
    Statement rows = file.prepare(
        QStringLiteral("SELECT DeviceId, Sequence, Snapshot, (SELECT count(*) FROM SyncFile) "
                       "FROM SyncFile"));
    if (!rows.next()) {
        return refusal(QStringLiteral("no writer named"));
    }
    if (rows.integer(3) != 1) {
        return refusal(QStringLiteral("more than one writer named"));
    }
    if (rows.text(0) != deviceId) {
        return refusal(QStringLiteral("written by another device than its folder's"));
    }
    if (rows.integer(1) != name.sequence || (rows.integer(2) != 0) != name.snapshot) {
        return refusal(QStringLiteral("its sequence or kind differs from its name"));
    }
    return {};
}

// A picture or file name is only ever a name: one holding a folder separator is hostile.
DbStatus bareNames(Connection& file) {
    const QString queries[] = {QStringLiteral("SELECT ImageName FROM Images"),
                               QStringLiteral("SELECT FileName FROM Files")};
    for (const QString& sql : queries) {
        Statement names = file.prepare(sql);
        while (names.next()) {
            const QString name = names.text(0);
            if (looksSealed(name)) {
                continue;  // a protected account's, bound to its row; checked where it opens
            }
            if (!isBareFileName(name) || name.contains(QLatin1Char('\\'))) {
                return refusal(QStringLiteral("a name that could be taken for a path"));
            }
        }
        if (!names.status().ok()) {
            return names.status();
        }
    }
    return {};
}

}  // namespace

Result<Connection> createSyncFile(const QString& path, const QByteArray& salt) {
    const int fd =
        ::open(copying::native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return copying::errnoStatus(errno, QStringLiteral("could not create %1").arg(path));
    }
    ::close(fd);
    const QByteArray key = cachedKey(salt, true);
    Result<Connection> file = Connection::openFile(path, key, false);
    if (!file.ok()) {
        return file;
    }
    // The file is flushed as a whole before it takes its name, and a file left unfinished is
    // thrown away: the engine's own journal and flushes would only cost time.
    if (DbStatus status =
            file->exec(kSyncPageSize + QStringLiteral("; PRAGMA main.journal_mode = MEMORY; "
                                                      "PRAGMA main.synchronous = OFF"));
        !status.ok()) {
        return status;
    }
    if (DbStatus status = createSchema(file.value()); !status.ok()) {
        return status;
    }
    // The shared categories every database has are no change of anybody's.
    if (DbStatus status = file->exec(QStringLiteral("DELETE FROM LoginsCategory")); !status.ok()) {
        return status;
    }
    return file;
}

QByteArray liveDatabaseKey(const QString& path) {
    const QByteArray salt = readSalt(path);
    return salt.isEmpty() ? QByteArray() : cachedKey(salt, false);
}

DbStatus stageSyncFile(const QString& source, const QString& staged) {
    struct stat info {};
    if (::lstat(copying::native(source).constData(), &info) != 0) {
        return copying::errnoStatus(errno, QStringLiteral("could not read it"));
    }
    if (!S_ISREG(info.st_mode)) {
        return refusal(S_ISLNK(info.st_mode) ? QStringLiteral("a link, not a file")
                                             : QStringLiteral("not a regular file"));
    }
    return copying::copyBytes(source, staged);
}

Result<Connection> openCheckedSyncFile(const QString& staged, const QString& deviceId,
                                       const SyncFileName& name) {
    const Result<QString> hash = fileHash(staged);
    if (!hash.ok()) {
        return hash.status();
    }
    if (hash.value() != name.hash) {
        return refusal(QStringLiteral("its bytes do not match its name (damaged or half copied)"));
    }
    const QByteArray salt = readSalt(staged);
    if (salt.size() != 16) {
        return refusal(QStringLiteral("not a database of this program"));
    }
    Result<Connection> file = Connection::openFile(staged, cachedKey(salt, false), false);
    if (!file.ok()) {
        return refusal(QStringLiteral("not a database of this program"));
    }
    if (DbStatus status = file->exec(kSyncPageSize); !status.ok()) {
        return status;
    }
    if (DbStatus status = file->exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        !status.ok()) {
        return refusal(QStringLiteral("not a database of this program, or another key"));
    }
    if (DbStatus status = wholeFile(file.value(), staged); !status.ok()) {
        return status;
    }
    if (DbStatus status = copying::integrityOf(file.value()); !status.ok()) {
        return refusal(QStringLiteral("damaged (%1)").arg(status.detail));
    }
    if (DbStatus status = schemaOf(file.value()); !status.ok()) {
        return status;
    }
    if (DbStatus status = writerOf(file.value(), deviceId, name); !status.ok()) {
        return status;
    }
    if (DbStatus status = bareNames(file.value()); !status.ok()) {
        return status;
    }
    return file;
}

}  // namespace ks::syncing

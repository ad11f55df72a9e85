// The import half of the database's copies: a file is checked on a private copy, then copied
// into the live database by the engine itself.
#include <sqlcipher/sqlite3.h>

#include <QFileInfo>

#include "storage/Backups.h"
#include "storage/CopyHelpers.h"
#include "storage/DatabaseCopy.h"
#include "storage/SchemaCheck.h"
#include "storage/SchemaUpgrade.h"

namespace ks {

namespace {

using namespace copying;

// An engine connection of our own for the backup interface, keyed like the program's own.
class RawConnection {
public:
    RawConnection(const QString& path, const QString& passPhrase) {
        const QByteArray key = rawKeyFor(passPhrase, readSalt(path));
        if (key.isEmpty()) {
            status_ = {DbCode::NotADatabase, QStringLiteral("%1 has no key").arg(path)};
            return;
        }
        int rc = sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_key(db_, key.constData(), int(key.size()));
        }
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db_, 3000);
            rc = sqlite3_exec(db_, "PRAGMA cipher_page_size = 4096", nullptr, nullptr, nullptr);
        }
        if (rc == SQLITE_OK) {
            // The first real read tells a wrong key or a foreign file.
            rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        }
        if (rc != SQLITE_OK) {
            status_ = engineStatus(rc, db_);
        }
    }
    ~RawConnection() { sqlite3_close(db_); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    sqlite3* db() const { return db_; }
    const DbStatus& status() const { return status_; }

private:
    sqlite3* db_ = nullptr;
    DbStatus status_;
};

// A file cut short can still pass the engine's checks when only its last page is missing
// bytes; a whole database is exactly its pages.
DbStatus wholePages(Connection& copy, const QString& path) {
    Statement pages = copy.prepare(QStringLiteral("PRAGMA page_count"));
    Statement size = copy.prepare(QStringLiteral("PRAGMA page_size"));
    if (!pages.next() || !size.next()) {
        return pages.status().ok() ? size.status() : pages.status();
    }
    if (pages.integer(0) * size.integer(0) != QFileInfo(path).size()) {
        return {DbCode::NotADatabase, QStringLiteral("%1 is not whole").arg(path)};
    }
    return {};
}

// Only this build's schema, or an older build's brought up to date, is taken in: a file with
// another table, column, key, index, a trigger or a view is refused with the reason.
DbStatus checkSchemaOf(Connection& copy) {
    const SchemaVerdict verdict = checkSchema(copy);
    if (DbStatus refused = refusalOf(verdict); !refused.ok()) {
        return refused;
    }
    if (verdict.fit == SchemaFit::Exact) {
        return {};
    }
    if (DbStatus status = bringSchemaUpToDate(copy, UpgradeRule::Strict); !status.ok()) {
        return status;
    }
    const SchemaVerdict upgraded = checkSchema(copy);
    if (upgraded.status.ok() && upgraded.fit != SchemaFit::Exact) {
        return {DbCode::MissingTables, upgraded.reasons.join(QStringLiteral("; "))};
    }
    return upgraded.status;
}

DbStatus checkStagedCopy(const QString& staging, const QString& passPhrase) {
    Result<Connection> copy = openKeyed(staging, passPhrase);
    if (!copy.ok()) {
        return copy.status();
    }
    DbStatus status = integrityOf(copy.value());
    if (status.ok()) {
        status = wholePages(copy.value(), staging);
    }
    if (status.ok()) {
        status = checkSchemaOf(copy.value());
    }
    return status.ok() ? integrityOf(copy.value()) : status;
}

}  // namespace

DbStatus stageDatabaseForImport(const QString& source, const QString& staging,
                                const QString& passPhrase) {
    removeWithCompanions(staging);
    const QFileInfo info(source);
    if (!info.isFile()) {
        return {DbCode::CannotOpen, QStringLiteral("%1 is not a file").arg(source)};
    }
    DbStatus status = copyBytes(source, staging);
    if (status.ok()) {
        status = checkStagedCopy(staging, passPhrase);
    }
    if (!status.ok()) {
        removeWithCompanions(staging);
    }
    return status;
}

namespace {

// Copies `staging` into the live database under its writer's lock, once the file is checked to
// be still the one whose state was `copiedState`.
DbStatus replaceContents(const QString& staging, const QString& databasePath,
                         const QByteArray& copiedState, const QString& passPhrase,
                         const CopyHooks& hooks) {
    const auto fails = [&hooks](CopyStep step) { return hooks.failAt && hooks.failAt(step); };
    RawConnection live(databasePath, passPhrase);
    RawConnection copy(staging, passPhrase);
    if (!live.status().ok() || !copy.status().ok()) {
        return !live.status().ok() ? live.status() : copy.status();
    }
    sqlite3_busy_timeout(live.db(), qMax(0, hooks.lockTimeoutMs));
    sqlite3_backup* backup = sqlite3_backup_init(live.db(), "main", copy.db(), "main");
    if (backup == nullptr) {
        return engineStatus(sqlite3_errcode(live.db()), live.db());
    }
    // A step of no pages takes the live database's writer's lock and keeps it to the end.
    int rc = sqlite3_backup_step(backup, 0);
    DbStatus status = rc == SQLITE_OK ? DbStatus{} : engineStatus(rc, live.db());
    if (status.ok() && fails(CopyStep::Lock)) {
        status = injected();
    }
    if (status.ok() && databaseFileState(databasePath) != copiedState) {
        status = {DbCode::Busy,
                  QStringLiteral("the database was changed while its copy was being made")};
    }
    if (status.ok() && fails(CopyStep::Write)) {
        status = injected();
    }
    if (status.ok()) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_DONE) {
            status = engineStatus(rc, live.db());
        }
    }
    // Finishing an unfinished backup rolls the live database back to what it was.
    rc = sqlite3_backup_finish(backup);
    if (status.ok() && rc != SQLITE_OK) {
        status = engineStatus(rc, live.db());
    }
    return status;
}

}  // namespace

Result<QString> restoreDatabaseFrom(const QString& staging, const QString& databasePath,
                                    const KeepOldDatabase& keep, const QString& passPhrase,
                                    const CopyHooks& hooks) {
    // The database as it is goes to a checked copy of its own first. The copy reads the
    // database while it is made and checked, which it could not under the import's lock (that
    // keeps every reader out); so under the lock the file is checked to be still the one copied.
    QByteArray copiedState;
    Result<QString> kept = makeVerifiedBackup(databasePath, passPhrase, keep.folder, keep.reason,
                                              keep.made, &copiedState);
    if (!kept.ok()) {
        return kept.status();
    }
    const DbStatus status =
        hooks.failAt && hooks.failAt(CopyStep::Keep)
            ? injected()
            : replaceContents(staging, databasePath, copiedState, passPhrase, hooks);
    if (!status.ok()) {
        // Nothing was replaced: the copy would only repeat the database that stays.
        removeWithCompanions(kept.value());
        return status;
    }
    removeWithCompanions(staging);
    return kept;
}

Result<DatabaseContents> readDatabaseContents(const QString& path, const QString& passPhrase) {
    Result<Connection> connection = openKeyed(path, passPhrase);
    if (!connection.ok()) {
        return connection.status();
    }
    DatabaseContents contents;
    Statement accounts =
        connection->prepare(QStringLiteral("SELECT UserName FROM Users ORDER BY Id"));
    while (accounts.next()) {
        contents.accountOwners.append(accounts.text(0));
    }
    if (!accounts.status().ok()) {
        return accounts.status();
    }
    const std::pair<qint64*, const char*> counts[] = {
        {&contents.records, "SELECT count(*) FROM Logins"},
        {&contents.entries, "SELECT count(*) FROM Journals WHERE Journal <> ''"},
        {&contents.pictures, "SELECT count(*) FROM Images"},
        {&contents.files, "SELECT count(*) FROM Files"}};
    for (const auto& [count, sql] : counts) {
        Statement query = connection->prepare(QString::fromLatin1(sql));
        if (!query.next()) {
            return query.status();
        }
        *count = query.integer(0);
    }
    return contents;
}

}  // namespace ks

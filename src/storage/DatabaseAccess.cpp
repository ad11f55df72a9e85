#include <sys/stat.h>
#include <QFile>

#include "storage/ConnectionHandle.h"
#include "storage/SchemaCheck.h"
#include "storage/SchemaUpgrade.h"

namespace ks {

// ---- DatabaseAccess ----

DatabaseAccess::DatabaseAccess(QString path, QString passPhrase, Mode mode)
    : path_(std::move(path)), passPhrase_(std::move(passPhrase)), mode_(mode) {
}

DatabaseAccess::~DatabaseAccess() {
    CloseAllDatabaseObjects();
}

QByteArray DatabaseAccess::keyFor(const QByteArray& salt) {
    // The pass phrase costs tens of milliseconds of key stretching at every open; the raw key
    // it stretches to depends only on the file's salt, so it is worked out once per salt.
    if (salt.isEmpty()) {
        return passPhrase_.toUtf8();  // too short to hold a salt: let verification fail
    }
    if (salt != cachedSalt_ || cachedKey_.isEmpty()) {
        cachedKey_ = rawKeyFor(passPhrase_, salt);
        cachedSalt_ = salt;
    }
    return cachedKey_.isEmpty() ? passPhrase_.toUtf8() : cachedKey_;
}

std::optional<DatabaseAccess::FileIdentity> DatabaseAccess::identityOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};
}

namespace {

// The salt at the start of the file a connection has open, read through the connection's own
// file: the same bytes as a read by the file's path while the path names that file.
QByteArray saltThrough(sqlite3* db) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr) {
        return {};
    }
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    if (file->pMethods->xRead(file, salt.data(), kSaltBytes, 0) != SQLITE_OK) {
        return {};
    }
    return salt;
}

}  // namespace

std::optional<Connection> DatabaseAccess::heldConnection() {
    if (!held_ || !held_->isOpen()) {
        held_.reset();
        return std::nullopt;
    }
    // Somebody is still using it (a statement, a transaction): they keep it to themselves.
    if (held_.use_count() > 1) {
        return std::nullopt;
    }
    // A file replaced, removed or keyed anew is opened and verified afresh.
    const std::optional<FileIdentity> file = identityOf(path_);
    if (!file || *file != heldFile_ || saltThrough(held_->db) != heldSalt_) {
        held_->close();
        held_.reset();
        return std::nullopt;
    }
    return Connection(held_);
}

Result<Connection> DatabaseAccess::open() {
    if (std::optional<Connection> held = heldConnection()) {
        return std::move(*held);
    }
    const QByteArray salt = readSalt(path_);
    const QByteArray key = keyFor(salt);
    Result<Connection> opened = Connection::openFile(path_, key, false, mode_ == Mode::ReadOnly);
    if (!opened.ok()) {
        return opened;
    }
    DbStatus verified = checkOpened(opened.value());
    if (!verified.ok()) {
        opened->handle_->close();
        return verified;
    }
    std::erase_if(connections_, [](const auto& weak) { return weak.expired(); });
    connections_.push_back(opened->handle_);
    if (commitListener_) {
        opened->handle_->listenToCommits(commitListener_);
    }
    if (!held_) {
        if (const std::optional<FileIdentity> file = identityOf(path_)) {
            held_ = opened->handle_;
            heldSalt_ = salt;
            heldFile_ = *file;
        }
    }
    return opened;
}

DbStatus DatabaseAccess::checkOpened(Connection& connection) {
    const SchemaVerdict verdict = checkSchema(connection);
    if (DbStatus refused = refusalOf(verdict); !refused.ok()) {
        return refused;
    }
    if (verdict.fit == SchemaFit::Older) {
        if (mode_ == Mode::ReadOnly) {
            return {DbCode::NeedsUpgrade, verdict.reasons.join(QStringLiteral("; "))};
        }
        if (!upgraded_) {
            // Once per run; a database that cannot take all of it (two accounts of one name
            // written by an older build) keeps what it refuses and is used as it is.
            bringSchemaUpToDate(connection, UpgradeRule::KeepWhatRowsRefuse);
            upgraded_ = true;
        }
    }
    if (mode_ != Mode::ReadOnly && !identified_) {
        // Rows an older build added since the last run get their identity.
        giveRowsIdentities(connection);
        identified_ = true;
    }
    return {};
}

void DatabaseAccess::setCommitListener(std::function<void()> listener) {
    commitListener_ =
        listener ? std::make_shared<const std::function<void()>>(std::move(listener)) : nullptr;
    for (const auto& weak : connections_) {
        if (auto handle = weak.lock()) {
            handle->listenToCommits(commitListener_);
        }
    }
}

void DatabaseAccess::CloseAllDatabaseObjects() {
    held_.reset();
    for (const auto& weak : connections_) {
        if (auto handle = weak.lock()) {
            handle->close();
        }
    }
    connections_.clear();
}

void DatabaseAccess::EndOperations() {
    std::shared_ptr<detail::ConnectionHandle> idle;
    if (held_ && held_.use_count() == 1) {
        idle = std::move(held_);
    }
    held_.reset();
    for (const auto& weak : connections_) {
        if (auto handle = weak.lock(); handle && handle != idle) {
            handle->close();
        }
    }
    connections_.clear();
    if (idle && idle->isOpen()) {
        held_ = idle;
        connections_.push_back(idle);
    }
}

int DatabaseAccess::openConnectionCount() const {
    int count = 0;
    for (const auto& weak : connections_) {
        if (auto handle = weak.lock(); handle && handle->isOpen()) {
            ++count;
        }
    }
    return count;
}

}  // namespace ks

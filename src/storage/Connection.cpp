#include "storage/ConnectionHandle.h"

namespace ks {

namespace {

constexpr int kBusyTimeoutMs = 3000;

}  // namespace

// ---- Transaction ----

Transaction::Transaction(Connection& connection) : connection_(&connection) {
    status_ = connection.exec(QStringLiteral("BEGIN IMMEDIATE"));
    open_ = status_.ok();
}

Transaction::Transaction(Transaction&& other) noexcept
    : connection_(other.connection_),
      status_(std::move(other.status_)),
      open_(std::exchange(other.open_, false)) {
}

Transaction::~Transaction() {
    if (open_) {
        connection_->exec(QStringLiteral("ROLLBACK"));
    }
}

DbStatus Transaction::commit() {
    if (!open_) {
        return status_.ok() ? closedStatus() : status_;
    }
    DbStatus status = connection_->exec(QStringLiteral("COMMIT"));
    if (status.ok()) {
        open_ = false;
    }
    return status;
}

// ---- Connection ----

Connection::Connection(std::shared_ptr<detail::ConnectionHandle> handle)
    : handle_(std::move(handle)) {
}

bool Connection::isOpen() const {
    return handle_ && handle_->isOpen();
}

Statement Connection::prepare(const QString& sql) {
    if (!isOpen()) {
        return Statement(handle_, nullptr, closedStatus());
    }
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(handle_->db, utf8.constData(), static_cast<int>(utf8.size()),
                                      &stmt, nullptr);
    return Statement(handle_, stmt, statusFrom(rc, handle_->db));
}

Statement Connection::prepareKept(const QString& sql) {
    if (isOpen()) {
        if (sqlite3_stmt* kept = handle_->kept.take(sql)) {
            Statement statement(handle_, kept, {});
            statement.keptAs_ = sql;
            return statement;
        }
    }
    Statement statement = prepare(sql);
    if (statement.status().ok()) {
        statement.keptAs_ = sql;
    }
    return statement;
}

DbStatus Connection::exec(const QString& sql) {
    if (!isOpen()) {
        return closedStatus();
    }
    const int rc = sqlite3_exec(handle_->db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    return statusFrom(rc, handle_->db);
}

sqlite3* Connection::engineHandle() const {
    return isOpen() ? handle_->db : nullptr;
}

Connection::ChangeStamp Connection::changeStamp() {
    if (!isOpen()) {
        return {};
    }
    sqlite3_stmt*& version = handle_->dataVersion;
    if (version == nullptr && sqlite3_prepare_v2(handle_->db, "PRAGMA data_version", -1, &version,
                                                 nullptr) != SQLITE_OK) {
        version = nullptr;
        return {};
    }
    const bool read = sqlite3_step(version) == SQLITE_ROW;
    ChangeStamp stamp;
    stamp.connection = handle_->serial;
    stamp.dataVersion = read ? sqlite3_column_int64(version, 0) : -1;
    stamp.ownChanges = sqlite3_total_changes(handle_->db);
    sqlite3_reset(version);
    return read ? stamp : ChangeStamp{};
}

qint64 Connection::lastInsertId() const {
    return isOpen() ? sqlite3_last_insert_rowid(handle_->db) : 0;
}

int Connection::changes() const {
    return isOpen() ? sqlite3_changes(handle_->db) : 0;
}

Result<Connection> Connection::openFile(const QString& path, const QByteArray& key, bool create,
                                        bool readOnly) {
    auto handle = std::make_shared<detail::ConnectionHandle>();
    const int flags =
        readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &handle->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        DbStatus status = statusFrom(rc, handle->db);
        handle->close();
        return status;
    }
    rc = sqlite3_key(handle->db, key.constData(), static_cast<int>(key.size()));
    if (rc != SQLITE_OK) {
        return statusFrom(rc, handle->db);
    }
    sqlite3_busy_timeout(handle->db, kBusyTimeoutMs);
    Connection connection(handle);
    // The page size must follow the key on every open; 4 KiB pages halve the cost of blobs.
    DbStatus status = connection.exec(QStringLiteral("PRAGMA cipher_page_size = 4096"));
    if (!status.ok()) {
        return status;
    }
    return connection;
}

// ---- WriteOperation ----

WriteOperation::WriteOperation(DatabaseAccess& database) : connection_(database.open()) {
    if (!connection_.ok()) {
        status_ = connection_.status();
        return;
    }
    transaction_.emplace(connection_.value());
    status_ = transaction_->status();
}

}  // namespace ks

#include "storage/Database.h"

#include <sqlcipher/sqlite3.h>

#include <openssl/evp.h>
#include <sys/stat.h>
#include <QFile>
#include <QSet>

#include <atomic>
#include <cerrno>

#include "storage/Schema.h"

namespace ks {

namespace detail {

// The engine connection shared by a Connection and its statements. Closing it finalizes every
// statement still prepared on it, so a holder that outlives CloseAllDatabaseObjects only ever
// sees DbCode::Closed.
struct ConnectionHandle {
    sqlite3* db = nullptr;
    quint64 serial = nextSerial();
    // Kept prepared: asked each time a list kept in memory is used.
    sqlite3_stmt* dataVersion = nullptr;

    static quint64 nextSerial() {
        static std::atomic<quint64> counter{0};
        return ++counter;
    }

    ~ConnectionHandle() { close(); }
    bool isOpen() const { return db != nullptr; }
    void close() {
        if (db == nullptr) {
            return;
        }
        while (sqlite3_stmt* stmt = sqlite3_next_stmt(db, nullptr)) {
            sqlite3_finalize(stmt);
        }
        dataVersion = nullptr;
        sqlite3_close(db);
        db = nullptr;
    }
};

}  // namespace detail

namespace {

constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;
constexpr int kKdfIterations = 64000;  // the engine's own default for pass phrases
constexpr int kBusyTimeoutMs = 3000;

DbStatus statusFrom(int rc, sqlite3* db) {
    DbStatus status;
    switch (rc & 0xff) {
        case SQLITE_OK:
        case SQLITE_ROW:
        case SQLITE_DONE:
            return status;
        case SQLITE_NOTADB:
            status.code = DbCode::NotADatabase;
            break;
        case SQLITE_CANTOPEN:
            status.code = DbCode::CannotOpen;
            break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            status.code = DbCode::Busy;
            break;
        case SQLITE_FULL:
            status.code = DbCode::DiskFull;
            break;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            status.code = DbCode::ReadOnly;
            break;
        case SQLITE_IOERR:
            // A full disk can also surface as a failed write, truncation or flush.
            status.code = db != nullptr && sqlite3_system_errno(db) == ENOSPC ? DbCode::DiskFull
                                                                              : DbCode::IoError;
            break;
        default:
            status.code = DbCode::Failed;
            break;
    }
    status.detail = db != nullptr ? QString::fromUtf8(sqlite3_errmsg(db))
                                  : QString::fromUtf8(sqlite3_errstr(rc));
    return status;
}

DbStatus closedStatus() {
    return {DbCode::Closed, QStringLiteral("the database connection was closed")};
}

QByteArray hexKeyClause(const QByteArray& bytes) {
    return QByteArray("x'") + bytes.toHex().toUpper() + QByteArray("'");
}

QByteArray deriveKey(const QString& passPhrase, const QByteArray& salt) {
    const QByteArray phrase = passPhrase.toUtf8();
    QByteArray key(kKeyBytes, '\0');
    const int ok = PKCS5_PBKDF2_HMAC_SHA1(phrase.constData(), static_cast<int>(phrase.size()),
                                          reinterpret_cast<const unsigned char*>(salt.constData()),
                                          static_cast<int>(salt.size()), kKdfIterations, kKeyBytes,
                                          reinterpret_cast<unsigned char*>(key.data()));
    return ok == 1 ? key : QByteArray();
}

}  // namespace

// ---- Statement ----

Statement::Statement(std::shared_ptr<detail::ConnectionHandle> handle, sqlite3_stmt* stmt,
                     DbStatus status)
    : handle_(std::move(handle)), stmt_(stmt), status_(std::move(status)) {
}

Statement::Statement(Statement&& other) noexcept
    : handle_(std::move(other.handle_)),
      stmt_(std::exchange(other.stmt_, nullptr)),
      status_(std::move(other.status_)) {
}

Statement::~Statement() {
    if (stmt_ != nullptr && handle_ && handle_->isOpen()) {
        sqlite3_finalize(stmt_);
    }
}

bool Statement::usable() {
    if (!handle_ || !handle_->isOpen()) {
        if (status_.ok()) {
            status_ = closedStatus();
        }
        return false;
    }
    return stmt_ != nullptr && status_.ok();
}

Statement& Statement::bind(int index, const QString& text) {
    if (usable()) {
        const QByteArray utf8 = text.toUtf8();
        const int rc = sqlite3_bind_text(stmt_, index, utf8.constData(),
                                         static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) {
            status_ = statusFrom(rc, handle_->db);
        }
    }
    return *this;
}

Statement& Statement::bind(int index, qint64 number) {
    if (usable()) {
        const int rc = sqlite3_bind_int64(stmt_, index, number);
        if (rc != SQLITE_OK) {
            status_ = statusFrom(rc, handle_->db);
        }
    }
    return *this;
}

Statement& Statement::bindBlob(int index, const QByteArray& bytes) {
    if (usable()) {
        const int rc =
            sqlite3_bind_blob64(stmt_, index, bytes.constData(),
                                static_cast<sqlite3_uint64>(bytes.size()), SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) {
            status_ = statusFrom(rc, handle_->db);
        }
    }
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (usable()) {
        const int rc = sqlite3_bind_null(stmt_, index);
        if (rc != SQLITE_OK) {
            status_ = statusFrom(rc, handle_->db);
        }
    }
    return *this;
}

bool Statement::next() {
    if (!usable()) {
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        status_ = statusFrom(rc, handle_->db);
    }
    return false;
}

DbStatus Statement::run() {
    while (next()) {
    }
    return status_;
}

void Statement::reset() {
    if (usable()) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

QString Statement::text(int column) const {
    if (stmt_ == nullptr || !handle_ || !handle_->isOpen()) {
        return {};
    }
    const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    const int bytes = sqlite3_column_bytes(stmt_, column);
    return chars != nullptr ? QString::fromUtf8(chars, bytes) : QString();
}

QUtf8StringView Statement::utf8(int column) const {
    if (stmt_ == nullptr || !handle_ || !handle_->isOpen()) {
        return {};
    }
    const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return chars != nullptr ? QUtf8StringView(chars, sqlite3_column_bytes(stmt_, column))
                            : QUtf8StringView();
}

qint64 Statement::integer(int column) const {
    if (stmt_ == nullptr || !handle_ || !handle_->isOpen()) {
        return 0;
    }
    return sqlite3_column_int64(stmt_, column);
}

QByteArray Statement::blob(int column) const {
    if (stmt_ == nullptr || !handle_ || !handle_->isOpen()) {
        return {};
    }
    const void* data = sqlite3_column_blob(stmt_, column);
    const int bytes = sqlite3_column_bytes(stmt_, column);
    return data != nullptr ? QByteArray(static_cast<const char*>(data), bytes) : QByteArray();
}

bool Statement::isNull(int column) const {
    if (stmt_ == nullptr || !handle_ || !handle_->isOpen()) {
        return true;
    }
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

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

Result<Connection> Connection::openFile(const QString& path, const QByteArray& key, bool create) {
    auto handle = std::make_shared<detail::ConnectionHandle>();
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
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

// ---- verification and keys ----

DbStatus engineStatus(int rc, sqlite3* db) {
    return statusFrom(rc, db);
}

DbStatus verifyDatabase(Connection& connection) {
    // A wrong key or a foreign file opens without complaint; the first read tells.
    Statement query =
        connection.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    QSet<QString> present;
    while (query.next()) {
        present.insert(query.text(0).toLower());
    }
    if (!query.status().ok()) {
        return query.status();
    }
    for (const QString& table : schemaTableNames()) {
        if (!present.contains(table.toLower())) {
            return {DbCode::MissingTables, QStringLiteral("no table %1").arg(table)};
        }
    }
    return {};
}

QByteArray readSalt(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray salt = file.read(kSaltBytes);
    return salt.size() == kSaltBytes ? salt : QByteArray();
}

QByteArray rawKeyFor(const QString& passPhrase, const QByteArray& salt) {
    const QByteArray key = deriveKey(passPhrase, salt);
    return key.isEmpty() ? QByteArray() : hexKeyClause(key);
}

QByteArray rawKeyWithSalt(const QString& passPhrase, const QByteArray& salt) {
    const QByteArray key = deriveKey(passPhrase, salt);
    return key.isEmpty() ? QByteArray() : hexKeyClause(key + salt);
}

// ---- DatabaseAccess ----

DatabaseAccess::DatabaseAccess(QString path, QString passPhrase)
    : path_(std::move(path)), passPhrase_(std::move(passPhrase)) {
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
    Result<Connection> opened = Connection::openFile(path_, key, false);
    if (!opened.ok()) {
        return opened;
    }
    DbStatus verified = verifyDatabase(opened.value());
    if (!verified.ok()) {
        opened->handle_->close();
        return verified;
    }
    if (!upgraded_) {
        // Once per run; a database that cannot take the upgrade is used as it is.
        upgradeSchema(opened.value());
        upgraded_ = true;
    }
    std::erase_if(connections_, [](const auto& weak) { return weak.expired(); });
    connections_.push_back(opened->handle_);
    if (!held_) {
        if (const std::optional<FileIdentity> file = identityOf(path_)) {
            held_ = opened->handle_;
            heldSalt_ = salt;
            heldFile_ = *file;
        }
    }
    return opened;
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

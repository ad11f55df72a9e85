#pragma once

#include <QByteArray>
#include <QString>
#include <QUtf8StringView>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ks {

// What went wrong with a database call, in terms a caller can act on.
enum class DbCode {
    Ok,
    CannotOpen,     // the file is missing or cannot be opened
    NotADatabase,   // wrong key, foreign or damaged file
    MissingTables,  // a readable database that is not ours: its tables, keys or rules differ
    NeedsUpgrade,   // ours, written by an older build; only a writer may bring it up to date
    Unusable,       // ours, but holding rows this build cannot keep (two accounts of one name)
    Busy,           // another program holds the database
    DiskFull,
    ReadOnly,
    IoError,
    Closed,     // the connection was closed under the caller
    Cancelled,  // the user stopped a long operation; nothing of it was kept
    Failed,     // any other engine error
};

struct DbStatus {
    DbCode code = DbCode::Ok;
    QString detail;  // the engine's own words, for the user's report

    bool ok() const { return code == DbCode::Ok; }
};

// A value or the reason there is none.
template <typename T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(DbStatus status) : status_(std::move(status)) {}

    bool ok() const { return value_.has_value(); }
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    T* operator->() { return &*value_; }
    const DbStatus& status() const { return status_; }

private:
    std::optional<T> value_;
    DbStatus status_;
};

namespace detail {
struct ConnectionHandle;
}

// A prepared statement. Parameters are numbered from 1, columns from 0.
class Statement {
public:
    Statement(std::shared_ptr<detail::ConnectionHandle> handle, sqlite3_stmt* stmt,
              DbStatus status);
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;
    ~Statement();

    Statement& bind(int index, const QString& text);
    Statement& bind(int index, qint64 number);
    Statement& bindBlob(int index, const QByteArray& bytes);
    Statement& bindNull(int index);

    // Steps to the next row: true while a row is there; false at the end or on error (status()).
    bool next();
    // Runs a statement that returns no rows.
    DbStatus run();
    // Runs the statement again with new parameters.
    void reset();

    QString text(int column) const;
    // The same as the database holds it, valid until the statement steps or is reset.
    QUtf8StringView utf8(int column) const;
    qint64 integer(int column) const;
    QByteArray blob(int column) const;
    bool isNull(int column) const;

    const DbStatus& status() const { return status_; }

private:
    bool usable();

    std::shared_ptr<detail::ConnectionHandle> handle_;
    sqlite3_stmt* stmt_ = nullptr;
    DbStatus status_;
    QString keptAs_;  // the text it is kept under on its connection (see Connection::prepareKept)
    friend class Connection;
};

class Connection;

// Commits on commit(); rolls back if it goes out of scope without one.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    Transaction(Transaction&& other) noexcept;
    Transaction(const Transaction&) = delete;
    ~Transaction();

    const DbStatus& status() const { return status_; }
    DbStatus commit();

private:
    Connection* connection_;
    DbStatus status_;
    bool open_ = false;
};

// One open, keyed and verified connection to a database file.
class Connection {
public:
    explicit Connection(std::shared_ptr<detail::ConnectionHandle> handle);

    Statement prepare(const QString& sql);
    // The same, for a statement run once per row of a long job: once done with, it is kept on
    // the connection (reset, its parameters cleared) and handed out again for the same text, so
    // it is compiled once. A text in use already gets a statement of its own.
    Statement prepareKept(const QString& sql);
    DbStatus exec(const QString& sql);
    // BEGIN IMMEDIATE: the writer's lock is taken at once, so a conflict shows before any work.
    Transaction begin() { return Transaction(*this); }
    qint64 lastInsertId() const;
    // The rows changed by the last INSERT, UPDATE or DELETE of this connection.
    int changes() const;
    bool isOpen() const;
    // The engine's own connection, for incremental blob I/O (BlobStream); null once closed.
    sqlite3* engineHandle() const;

    // Tells whether anything may have changed in the database since an earlier stamp of the
    // same connection: another connection's commits (the engine's data version) and this
    // connection's own writes both change it, and two connections never share a stamp.
    struct ChangeStamp {
        quint64 connection = 0;
        qint64 dataVersion = -1;
        qint64 ownChanges = -1;
        bool operator==(const ChangeStamp&) const = default;
    };
    ChangeStamp changeStamp();

    // Opens a file with the given key: `key` is either a pass phrase or a raw key in the
    // form x'…'. The connection is not verified; see DatabaseAccess::open for that. A read-only
    // connection can never write to the file, whatever it is asked to do.
    static Result<Connection> openFile(const QString& path, const QByteArray& key, bool create,
                                       bool readOnly = false);

private:
    std::shared_ptr<detail::ConnectionHandle> handle_;
    friend class DatabaseAccess;
};

// The program's database: one file, one pass phrase. Opens verified connections keyed with a
// raw key derived once per file, and can close every connection it has handed out.
class DatabaseAccess {
public:
    // ReadOnly never writes to the file: its connections are opened read-only, and a database
    // written by an older build is refused (NeedsUpgrade) instead of being brought up to date.
    enum class Mode { ReadWrite, ReadOnly };

    DatabaseAccess(QString path, QString passPhrase, Mode mode = Mode::ReadWrite);
    ~DatabaseAccess();

    const QString& path() const { return path_; }

    // Opens the file, checks the key and that its schema is this build's (an older build's is
    // brought up to date once, a foreign one refused with the reason). One verified
    // connection is kept for the session and handed out again while nobody else holds it and
    // the file is still the one it was opened on, so its page cache stays warm; a caller that
    // asks while it is in use gets a connection of its own.
    Result<Connection> open();

    // Closes every connection opened through this object, whoever holds it. Statements and
    // connections still held afterwards report DbCode::Closed.
    void CloseAllDatabaseObjects();

    // Ends every operation: closes every connection that somebody still holds, like
    // CloseAllDatabaseObjects, but keeps the session's connection open when nobody uses it,
    // with its page cache. For the places that end stray operations, not the file's use.
    void EndOperations();

    // Number of connections that are still open (for checks).
    int openConnectionCount() const;

    // Called after every commit of a connection opened through this object, on the thread that
    // committed, inside the engine: it must not use the database (it may post a note). Set for
    // the connections open now and every one opened later; empty: none.
    void setCommitListener(std::function<void()> listener);

private:
    struct FileIdentity {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    static std::optional<FileIdentity> identityOf(const QString& path);
    // The schema of a newly opened connection: refused, used, or brought up to date first.
    DbStatus checkOpened(Connection& connection);
    QByteArray keyFor(const QByteArray& salt);
    std::optional<Connection> heldConnection();

    QString path_;
    QString passPhrase_;
    Mode mode_;
    std::vector<std::weak_ptr<detail::ConnectionHandle>> connections_;
    QByteArray cachedSalt_;
    QByteArray cachedKey_;
    bool upgraded_ = false;
    bool identified_ = false;
    // The connection kept for the session, with the salt and file it was opened on.
    std::shared_ptr<detail::ConnectionHandle> held_;
    std::shared_ptr<const std::function<void()>> commitListener_;
    QByteArray heldSalt_;
    FileIdentity heldFile_;
};

// One writing operation: a verified connection with its writer's transaction begun. Either
// everything it writes is committed together or, if it ends without commit(), nothing is.
class WriteOperation {
public:
    explicit WriteOperation(DatabaseAccess& database);
    WriteOperation(const WriteOperation&) = delete;
    WriteOperation& operator=(const WriteOperation&) = delete;

    // Why the operation could not begin; ok once the transaction is open.
    const DbStatus& status() const { return status_; }
    bool ok() const { return status_.ok(); }
    Connection& connection() { return connection_.value(); }
    DbStatus commit() { return transaction_ ? transaction_->commit() : status_; }

private:
    Result<Connection> connection_;
    std::optional<Transaction> transaction_;
    DbStatus status_;
};

// The status of an engine result code, with the connection's own words when it has any.
DbStatus engineStatus(int rc, sqlite3* db);

// Tells whether a connection's database is one of this program: it opens with the key it was
// given and holds exactly the schema this build makes, or the schema of an older build that can
// be brought up to date; no other table, column, index, trigger or view. MissingTables says why
// a foreign one is refused, in words for the user.
DbStatus verifyDatabase(Connection& connection);

// The raw key clause (x'…') for a pass phrase and a file's salt; derived as the engine itself
// would, so a file stays readable with the plain pass phrase.
QByteArray rawKeyFor(const QString& passPhrase, const QByteArray& salt);
// The same key with the salt appended, for creating a copy that keeps the source's salt.
QByteArray rawKeyWithSalt(const QString& passPhrase, const QByteArray& salt);
// The first 16 bytes of a database file; empty if it cannot be read.
QByteArray readSalt(const QString& path);

}  // namespace ks

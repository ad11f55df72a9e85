#include "storage/ConnectionHandle.h"

namespace ks {

// ---- Statement ----

Statement::Statement(std::shared_ptr<detail::ConnectionHandle> handle, sqlite3_stmt* stmt,
                     DbStatus status)
    : handle_(std::move(handle)), stmt_(stmt), status_(std::move(status)) {
}

Statement::Statement(Statement&& other) noexcept
    : handle_(std::move(other.handle_)),
      stmt_(std::exchange(other.stmt_, nullptr)),
      status_(std::move(other.status_)),
      keptAs_(std::move(other.keptAs_)) {
}

Statement::~Statement() {
    if (stmt_ == nullptr || !handle_ || !handle_->isOpen()) {
        return;
    }
    if (!keptAs_.isEmpty() && !handle_->kept.contains(keptAs_) &&
        handle_->kept.size() < detail::ConnectionHandle::kKeptStatements) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        handle_->kept.insert(keptAs_, stmt_);
        return;
    }
    sqlite3_finalize(stmt_);
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

}  // namespace ks

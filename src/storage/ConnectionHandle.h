#pragma once

// Private to the storage layer: the engine connection shared by a Connection and its
// statements, and the translation of engine result codes.

#include <sqlcipher/sqlite3.h>

#include <QHash>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

#include "storage/Database.h"

namespace ks {

// The bytes of a database file's salt, at its start (the key is derived from it).
inline constexpr int kSaltBytes = 16;

namespace detail {

// The engine connection shared by a Connection and its statements. Closing it finalizes every
// statement still prepared on it, so a holder that outlives CloseAllDatabaseObjects only ever
// sees DbCode::Closed.
struct ConnectionHandle {
    sqlite3* db = nullptr;
    quint64 serial = nextSerial();
    // Kept prepared: asked each time a list kept in memory is used.
    sqlite3_stmt* dataVersion = nullptr;
    // Statements kept for reuse by their text (Connection::prepareKept), reset and unbound.
    static constexpr qsizetype kKeptStatements = 64;
    QHash<QString, sqlite3_stmt*> kept;
    // Told after each commit (see DatabaseAccess::setCommitListener); kept alive with the handle.
    std::shared_ptr<const std::function<void()>> commitListener;

    void listenToCommits(std::shared_ptr<const std::function<void()>> listener) {
        commitListener = std::move(listener);
        if (db == nullptr) {
            return;
        }
        if (!commitListener) {
            sqlite3_commit_hook(db, nullptr, nullptr);
            return;
        }
        sqlite3_commit_hook(
            db,
            [](void* note) {
                (*static_cast<const std::function<void()>*>(note))();
                return 0;  // the commit goes on
            },
            const_cast<std::function<void()>*>(commitListener.get()));
    }

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
        kept.clear();
        sqlite3_close(db);
        db = nullptr;
    }
};

}  // namespace detail

// The status of an engine result code, with the connection's own words when it has any.
DbStatus statusFrom(int rc, sqlite3* db);
// What a statement or connection reports once its connection has been closed.
DbStatus closedStatus();

}  // namespace ks

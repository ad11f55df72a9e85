#include <cerrno>

#include "storage/ConnectionHandle.h"

namespace ks {

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
    // The connection's own words only while they are about this failure: a failure that the
    // engine reports by its result alone (a backup step, say) leaves the connection saying "not
    // an error", or still telling of an earlier one.
    const bool connectionTells = db != nullptr && (sqlite3_errcode(db) & 0xff) == (rc & 0xff);
    status.detail = QString::fromUtf8(connectionTells ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    return status;
}

DbStatus closedStatus() {
    return {DbCode::Closed, QStringLiteral("the database connection was closed")};
}

DbStatus engineStatus(int rc, sqlite3* db) {
    return statusFrom(rc, db);
}

}  // namespace ks

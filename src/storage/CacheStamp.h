#pragma once

#include "storage/Database.h"

namespace ks {

// Tells whether something kept in memory from the database is still what the database holds:
// it is, while the connection it was read through has seen no write since, neither another
// connection's commit nor one of its own. A cache that follows this connection's own writes
// marks itself again right after each of them.
class CacheStamp {
public:
    // Whether nothing has been written since the last mark through `connection`.
    bool isCurrent(Connection& connection) {
        return valid_ && stamp_.connection != 0 && connection.changeStamp() == stamp_;
    }
    // The cache now holds what `connection` sees.
    void mark(Connection& connection) {
        stamp_ = connection.changeStamp();
        valid_ = stamp_.connection != 0;
    }
    void drop() { valid_ = false; }

private:
    Connection::ChangeStamp stamp_;
    bool valid_ = false;
};

}  // namespace ks

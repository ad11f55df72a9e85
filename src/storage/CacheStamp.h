#pragma once

#include "storage/Database.h"

namespace ks {

// Tells whether something kept in memory from the database is still what the database holds:
// it is, while the connection it was read through has seen no write since, neither another
// connection's commit nor one of its own. A cache is marked with the stamp taken before it read
// the table, so that a commit of another connection during the read makes it stale; one that
// follows this connection's own writes is marked with the stamp taken after its last write and
// before the commit, while nobody else can write.
class CacheStamp {
public:
    // Whether nothing has been written since the last mark through `connection`.
    bool isCurrent(Connection& connection) {
        return valid_ && stamp_.connection != 0 && connection.changeStamp() == stamp_;
    }
    // The cache now holds what the database held at `stamp`.
    void mark(const Connection::ChangeStamp& stamp) {
        stamp_ = stamp;
        valid_ = stamp_.connection != 0;
    }
    void drop() { valid_ = false; }

private:
    Connection::ChangeStamp stamp_;
    bool valid_ = false;
};

}  // namespace ks

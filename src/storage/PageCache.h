#pragma once

#include "storage/Database.h"

namespace ks {

// The engine's page cache of a connection made larger while one long write runs, and back to
// the engine's default after: the pages the write dirties stay in memory until its commit
// instead of being encrypted and written out, and read back, on the way.
class LargerPageCache {
public:
    static constexpr int kDefaultKib = 2000;

    LargerPageCache(Connection& connection, int kib) : connection_(connection) {
        status_ = connection_.exec(QStringLiteral("PRAGMA cache_size = -%1").arg(kib));
    }
    ~LargerPageCache() {
        connection_.exec(QStringLiteral("PRAGMA cache_size = -%1").arg(kDefaultKib));
    }
    LargerPageCache(const LargerPageCache&) = delete;
    LargerPageCache& operator=(const LargerPageCache&) = delete;

    const DbStatus& status() const { return status_; }

private:
    Connection& connection_;
    DbStatus status_;
};

}  // namespace ks

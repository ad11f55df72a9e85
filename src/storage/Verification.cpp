#include "storage/Database.h"
#include "storage/SchemaCheck.h"

namespace ks {

DbStatus verifyDatabase(Connection& connection) {
    // A wrong key or a foreign file opens without complaint; the first read tells.
    return refusalOf(checkSchema(connection));
}

}  // namespace ks

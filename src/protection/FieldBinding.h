#pragma once

#include <QByteArray>
#include <QLatin1StringView>

namespace ks {

// Where a sealed value lives: its table, its column and the identity of its row. It is the
// associated data of the seal, so a value copied into another row or column does not open.
struct FieldBinding {
    QLatin1StringView table;
    QLatin1StringView column;
    QByteArray rowUuid;  // 16 bytes

    // The bytes authenticated with the value.
    QByteArray associatedData() const;
};

}  // namespace ks

#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "storage/Database.h"

namespace ks {

// What writing the owner's pictures into a folder came to.
struct PictureCheckOut {
    QStringList written;              // the paths written, in the table's stored order
    QStringList notWritten;           // the stored names of the pictures that could not be written
    std::optional<DbStatus> failure;  // the pictures could not be read at all
};

// Writes the owner's pictures for which `wanted` answers true into `folder` (ending in "/"),
// byte for byte, each as a new file under its stored name. A name that is taken gets "Copy of "
// in front, again and again, so nothing in the folder is ever overwritten. A stored name that is
// not a bare file name is never used as a path: that picture is not written.
PictureCheckOut checkOutPictures(DatabaseAccess& database, const QString& owner,
                                 const std::function<bool(qint64)>& wanted, const QString& folder);

// Writes `bytes` as a new file in `folder` under `name` or its first free "Copy of " name; the
// path written, or nullopt (with nothing left behind) when it could not be written whole.
std::optional<QString> writeNewPicture(const QString& folder, const QString& name,
                                       const QByteArray& bytes);

}  // namespace ks

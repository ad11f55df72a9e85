#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "core/Account.h"
#include "storage/CheckOutPaths.h"
#include "storage/Database.h"

namespace ks {

// What writing the owner's pictures into a folder came to.
struct PictureCheckOut {
    QStringList written;              // the paths written, in the table's stored order
    QList<NotCheckedOut> notWritten;  // the pictures that could not be written, and why
    std::optional<DbStatus> failure;  // the pictures could not be read at all
};

// Writes the owner's pictures for which `wanted` answers true into `folder` (ending in "/"),
// byte for byte, each as a new file under its stored name. A name that is taken gets "Copy of "
// in front, again and again, so nothing in the folder is ever overwritten; a name grown too long
// for a file name is shortened before its extension. A stored name that is not a bare file name
// is never used as a path: that picture is not written, nor one whose name or bytes do not open.
PictureCheckOut checkOutPictures(DatabaseAccess& database, const Account& account,
                                 const std::function<bool(qint64)>& wanted, const QString& folder);

// Where one picture was written, or why it was not (then nothing is left behind).
struct PictureWrite {
    QString path;
    QString error;
};

// Writes `bytes` as a new file in `folder` under `name` or its first free "Copy of " name.
PictureWrite writeNewPicture(const QString& folder, const QString& name, const QByteArray& bytes);

}  // namespace ks

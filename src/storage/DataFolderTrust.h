#pragma once

#include <QString>
#include <QStringList>

#include "storage/FileServices.h"

namespace ks {

// Whether a data folder may hold the account's data. It is refused, with what is wrong and
// what to do about it in words, when
// - the folder, or one of `files` that exists, belongs to another account;
// - the folder, or one of those files, can be changed by other accounts (group or others may
//   write to it): someone else may have put their own database or settings there;
// - a folder above it can be changed by every account (others may write to it and it has no
//   sticky bit): anyone could put a folder of their own in its place.
// With `narrow`, what others may merely read or enter is closed: the folder becomes 0700 and the
// files 0600. A folder that does not exist yet is checked for the folders above it only.
FsResult checkDataFolderTrust(const QString& folder, const QStringList& files, bool narrow);

}  // namespace ks

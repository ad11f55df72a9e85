#pragma once

#include <QString>

namespace ks {

// The program's private temporary folder: the system's temporary folder (honouring $TMPDIR)
// + "<title>-<uid>/", made 0700. A folder of that name that is a link, is not a folder or
// belongs to someone else is never used; a fresh uniquely named folder is made instead.
// Returns the folder, ending in "/", or an empty text when none can be made.
QString preparePrivateTempFolder(const QString& appTitle);

// The work folder of the copy of the program that runs on `dataFolder`, inside the private
// temporary folder: "data-" + a digest of the data folder's real path + "/", made 0700. Copies
// running on two data folders share the private temporary folder but never a work folder.
// With `empty` (only while this copy holds the data folder's lock, so that no running copy
// works in it) whatever an earlier run left there is removed first, and so are the work files
// that older builds kept in the private temporary folder itself. Ends in "/"; empty when it
// cannot be made.
QString prepareWorkFolder(const QString& privateTemp, const QString& dataFolder, bool empty);

// Removes the folder and everything in it, if it exists. Files that cannot be removed stay.
bool removePrivateTempFolder(const QString& folder);

// Removes a work folder and everything in it, then the private temporary folder around it
// when no other copy's work folder is left there.
void removeWorkFolder(const QString& workFolder);

}  // namespace ks

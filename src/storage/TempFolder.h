#pragma once

#include <QString>

namespace ks {

// The program's private temporary folder: the system's temporary folder (honouring $TMPDIR)
// + "<title>-<uid>/", made 0700. A folder of that name that is a link, is not a folder or
// belongs to someone else is never used; a fresh uniquely named folder is made instead.
// Returns the folder, ending in "/", or an empty text when none can be made.
QString preparePrivateTempFolder(const QString& appTitle);

// Removes the folder and everything in it, if it exists. Files that cannot be removed stay.
bool removePrivateTempFolder(const QString& folder);

}  // namespace ks

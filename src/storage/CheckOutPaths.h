#pragma once

#include <QString>

namespace ks {

// Where checked-out items may go. Names come from the database, and an imported database can
// hold anything, so a name is only ever used as one bare entry of the chosen folder.

// Whether `name` is a plain file name: not empty, not "." or "..", without a folder separator
// ("/" or "\", which the cabinet format reads as one) or a NUL character.
bool isBareFileName(const QString& name);

// "Copy of " is put in front of `name` until nothing of that name is in `folder` (which ends in
// "/"). A dangling link counts as taken.
QString freeNameIn(const QString& folder, const QString& name);

// The prefix of a taken name.
QString copyOfPrefix();

// Whether `folder` is an existing folder this user may create files in.
bool folderIsWritable(const QString& folder);

// Whether anything (a file, a folder, a link, even a dangling one) is at `path`.
bool somethingAt(const QString& path);

}  // namespace ks

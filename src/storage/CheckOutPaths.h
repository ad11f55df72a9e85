#pragma once

#include <QString>

namespace ks {

// Where checked-out items may go. Names come from the database, and an imported database can
// hold anything, so a name is only ever used as one bare entry of the chosen folder.

// Whether `name` is a plain file name: not empty, not "." or "..", without a folder separator
// of this system or a NUL character. Any other name a file may have here is one.
bool isBareFileName(const QString& name);

// The longest file name the usual file systems take, in bytes of UTF-8.
inline constexpr qsizetype kLongestFileNameBytes = 255;

// `name` as it fits in a file name: when it is longer than that, its stem is shortened at the
// end, by whole characters, and its extension kept.
QString fitFileName(const QString& name);

// "Copy of " is put in front of `name` until nothing of that name is in `folder` (which ends in
// "/"), each name shortened to fit. A dangling link counts as taken. Empty when no free name is
// left.
QString freeNameIn(const QString& folder, const QString& name);

// The prefix of a taken name.
QString copyOfPrefix();

// Whether `folder` is an existing folder this user may create files in.
bool folderIsWritable(const QString& folder);

// Whether anything (a file, a folder, a link, even a dangling one) is at `path`.
bool somethingAt(const QString& path);

// A stored item that was not checked out, and why.
struct NotCheckedOut {
    QString name;
    QString reason;
};

// The reasons of a check-out that are not the system's own error texts.
QString notAFileNameReason();
QString noFreeNameReason();

}  // namespace ks

#pragma once

#include <QString>
#include <optional>

namespace ks {

// The texts of the check-out window `Form6`, the check-out and the launch, each kept here once.

// The two kinds of stored items a check-out writes.
enum class CheckOutKind { Images, Files };

// The mode text `lblMode` holds for a kind, and the kind of a mode text (none for any other).
QString checkOutMode(CheckOutKind kind);
std::optional<CheckOutKind> checkOutKindOfMode(const QString& mode);

// The window's caption after the program's title, and its option captions, for a kind.
QString checkOutCaption(const QString& appTitle, CheckOutKind kind);
QString allItemsCaption(CheckOutKind kind);
QString selectedItemsCaption(CheckOutKind kind);
QString noItemsToExportMessage(CheckOutKind kind);

inline QString checkOutFrameCaption() {
    return QStringLiteral("Check Out:");
}
inline QString destinationFrameCaption() {
    return QStringLiteral("To:");
}
inline QString startCaption() {
    return QStringLiteral("Start");
}
inline QString cancelCaption() {
    return QStringLiteral("Cancel");
}

// The status lines of a file's check-out.
QString exportingStatus(const QString& name);
QString decompressingStatus(const QString& name);
QString restoringStatus(const QString& name);

// A stored file that could not be unpacked into the destination.
QString extractionFailedMessage(const QString& name);
// A picture that could not be written into the destination.
QString pictureNotWrittenMessage(const QString& name);
// The chosen folder cannot be written to: nothing was checked out.
QString destinationNotWritableMessage(const QString& folder);
// The stored items could not be read from the database.
QString checkOutFailedText();
// A message and, when there is one, the reason below it after an empty line.
QString withReason(const QString& message, const QString& reason);
// The reasons of a file's failed check-out that are not the system's own error texts.
QString damagedArchiveReason();
QString notStoredReason();
QString noStagingFolderReason();
QString launchFolderNotEmptiedReason();
// How many items went into the folder.
QString checkedOutMessage(CheckOutKind kind, qsizetype count, const QString& folder);

// The launch: the selection messages, and a file the desktop could not open.
QString oneFileAtATimeMessage(const QString& appTitle);
QString selectFileToLaunchMessage();
QString launchNotOpenedMessage(const QString& name);

}  // namespace ks

#pragma once

#include <QString>
#include <QStringList>

namespace ks {

// The texts of the file store, each kept in this one place.

inline QString fileDialogFilter() {
    return QStringLiteral("All Files|*.*");
}
inline QString initialisingStatus() {
    return QStringLiteral("Initialising ...");
}
inline QString compressingStatus() {
    return QStringLiteral("Compressing File(s) ...");
}
inline QString addingStatus() {
    return QStringLiteral("Adding Compressed File(s) ...");
}
inline QString compressionFailedMessage() {
    return QStringLiteral(
        "An error occurred while compressing the file for storage!\r\r"
        "The file was not added.");
}
// Followed at once by the archive's size in bytes.
inline QString overLimitMessage() {
    return QStringLiteral(
        "Once compressed, the file exceeded 120Mb in size.  "
        "Files over 120Mb cannot be added to the database.");
}
// Followed at once by the file's size in bytes.
inline QString tooLargeToArchiveMessage() {
    return QStringLiteral(
        "The file is too large to be compressed for storage: files of 2 Gb "
        "(2147483648 bytes) or more cannot be added to the database.  "
        "The file was not added.  Its size in bytes: ");
}
inline QString checkInFailedText() {
    return QStringLiteral("The file could not be added to the database.");
}
inline QString deleteFailedText() {
    return QStringLiteral("The files could not be deleted.");
}
inline QString listFailedText() {
    return QStringLiteral("The stored files could not be listed.");
}
inline QString selectFileToDeleteMessage() {
    return QStringLiteral("You must select a file to delete.");
}

// The question before deleting: the heading for one or several files, the names one a line.
QString deleteFilesQuestion(const QStringList& names);

}  // namespace ks

#include "files/CheckOutTexts.h"

#include <QDir>

namespace ks {

namespace {

QString byKind(CheckOutKind kind, const char* images, const char* files) {
    return QString::fromLatin1(kind == CheckOutKind::Images ? images : files);
}

}  // namespace

QString checkOutMode(CheckOutKind kind) {
    return byKind(kind, "IMAGES", "FILES");
}

std::optional<CheckOutKind> checkOutKindOfMode(const QString& mode) {
    for (CheckOutKind kind : {CheckOutKind::Images, CheckOutKind::Files}) {
        if (mode == checkOutMode(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

QString checkOutCaption(const QString& appTitle, CheckOutKind kind) {
    return appTitle + byKind(kind, " - Image Check-Out", " - File Check-Out");
}

QString allItemsCaption(CheckOutKind kind) {
    return byKind(kind, "All images in the database", "All files in the database");
}

QString selectedItemsCaption(CheckOutKind kind) {
    return byKind(kind, "Only the images I selected", "Only the files I selected");
}

QString noItemsToExportMessage(CheckOutKind kind) {
    return byKind(kind, "There are no images to export.", "There are no files to export.");
}

QString exportingStatus(const QString& name) {
    return QStringLiteral("Exporting File ") + name + QStringLiteral(" ...");
}

QString decompressingStatus(const QString& name) {
    return QStringLiteral("Decompressing File ") + name + QStringLiteral(" ...");
}

QString restoringStatus(const QString& name) {
    return QStringLiteral("Restoring File ") + name + QStringLiteral(" ...");
}

QString extractionFailedMessage(const QString& name) {
    return QStringLiteral("A problem occurred extracting file: ") + name;
}

QString pictureNotWrittenMessage(const QString& name) {
    return QStringLiteral("A problem occurred writing image: ") + name;
}

QString destinationNotWritableMessage(const QString& folder) {
    return QStringLiteral("The folder %1 cannot be written to.  Nothing was checked out.")
        .arg(QDir::toNativeSeparators(folder));
}

QString checkOutFailedText() {
    return QStringLiteral("The stored items could not be read.");
}

QString withReason(const QString& message, const QString& reason) {
    return reason.isEmpty() ? message : message + QStringLiteral("\r\r") + reason;
}

QString damagedArchiveReason() {
    return QStringLiteral("Its stored archive is damaged.");
}

QString notStoredReason() {
    return QStringLiteral("It is no longer stored.");
}

QString noStagingFolderReason() {
    return QStringLiteral("There is no private temporary folder to unpack it in.");
}

QString launchFolderNotEmptiedReason() {
    return QStringLiteral(
        "The launch folder could not be emptied: a file launched before may still be open.");
}

QString checkedOutMessage(CheckOutKind kind, qsizetype count, const QString& folder) {
    const QString noun =
        byKind(kind, count == 1 ? "image" : "images", count == 1 ? "file" : "files");
    return QStringLiteral("Checked out %1 %2 to %3")
        .arg(QString::number(count), noun, QDir::toNativeSeparators(folder));
}

QString oneFileAtATimeMessage(const QString& appTitle) {
    return appTitle +
           QStringLiteral(
               " will only run one file at a time.  The first file selected will now be launched.");
}

QString selectFileToLaunchMessage() {
    return QStringLiteral("You must select a file to launch.");
}

QString launchNotOpenedMessage(const QString& name) {
    return QStringLiteral("The file %1 could not be opened: the desktop has no program for it.")
        .arg(name);
}

}  // namespace ks

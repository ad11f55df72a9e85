#pragma once

#include <QString>
#include <QStringList>

#include "core/CommonTexts.h"  // passwordsDifferMessage()

namespace ks {

// The texts of the Options tab, each kept once.

// Change of password.
inline QString oldPasswordMissingMessage() {
    return QStringLiteral("You must enter the old password to continue");
}
inline QString newPasswordMissingMessage() {
    return QStringLiteral("You must enter a new password to continue");
}
inline QString newPasswordTooShortMessage() {
    return QStringLiteral(
        "The new password must be more than 3 characters in length, or it could not be used "
        "to log in");
}
inline QString newPasswordTooLongMessage() {
    return QStringLiteral(
        "The new password must be at most 15 characters in length, or it could not be typed "
        "to log in");
}
inline QString oldPasswordWrongMessage() {
    return QStringLiteral("The old password was entered incorrectly");
}
inline QString passwordChangedMessage() {
    return QStringLiteral("The password has been changed");
}
inline QString passwordNotChangedMessage() {
    return QStringLiteral("The password could not be changed. It is still the old one.");
}

// Protection of the account by a pass phrase.
inline QString currentPasswordMissingMessage() {
    return QStringLiteral("You must enter your current password to continue");
}
inline QString currentPasswordWrongMessage() {
    return QStringLiteral("The current password was entered incorrectly");
}
inline QString passPhrasesDifferMessage() {
    return QStringLiteral("Pass phrases entered were not identical");
}
inline QString passPhraseLengthMessage() {
    return QStringLiteral(
        "The pass phrase must be 8 to 128 characters in length, with more than 3 that are not "
        "spaces");
}
inline QString protectedMessage() {
    return QStringLiteral(
        "Your data is now protected by your pass phrase. From now on, log in with it.");
}
inline QString notProtectedMessage() {
    return QStringLiteral("Your data could not be protected. The account is as it was.");
}
inline QString protectionWarningText() {
    return QStringLiteral(
        "Only your pass phrase opens your data once it is protected. If you forget it, nobody "
        "can recover your data, not even with the program's help.");
}

// Export and import.
inline QString notEnoughSpaceMessage() {
    return QStringLiteral(
        "The drive you selected does not have enough free space to store your database.");
}
inline QString exportCompleteMessage() {
    return QStringLiteral("Export Complete");
}
inline QString exportExistsQuestion(const QString& appTitle) {
    return QStringLiteral("A ") + appTitle +
           QStringLiteral(
               " database was already exported to this location.\r\rWould you like to "
               "overwrite it?");
}
inline QString exportFailedMessage(const QString& folder) {
    return QStringLiteral("The database could not be exported to ") + folder +
           QStringLiteral(". No export file was written; an earlier export there is unchanged.");
}
inline QString noDatabaseFoundMessage(const QString& appTitle, const QString& folder) {
    return QStringLiteral("No ") + appTitle + QStringLiteral(" database was found at ") + folder;
}
inline QString notImportableMessage(const QString& appTitle, const QString& file) {
    return QStringLiteral("The file ") + file + QStringLiteral(" is not a ") + appTitle +
           QStringLiteral(" database that can be imported. Nothing has been changed.");
}
inline QString notEnoughSpaceForImportMessage(const QString& appTitle) {
    return QStringLiteral("The drive of the ") + appTitle +
           QStringLiteral(
               " data folder does not have enough free space to import this database and keep a "
               "copy of the current one. Nothing has been changed.");
}
// `details` says what the file holds, warns when it lacks the user's account and where the
// current database is kept; it stands between the question's first and last line.
inline QString importQuestion(const QString& folder, const QString& details) {
    return QStringLiteral(
               "You are about to replace the current database with the database stored at ") +
           folder + QStringLiteral("\r\r") + details + QStringLiteral("\r\rAre you sure?");
}
// "2 accounts (alice, bobby), 14 records, 30 journal entries, 3 pictures and 1 file".
inline QString importHoldsText(const QString& holdings) {
    return QStringLiteral("It holds ") + holdings + QLatin1Char('.');
}
inline QString importLacksAccountWarning(const QString& name) {
    return QStringLiteral("Warning: your account ") + name +
           QStringLiteral(" is not in it. After the import nobody can log in as ") + name +
           QStringLiteral(
               ", and its records, journal, pictures and files are kept only in the copy of the "
               "current database.");
}
inline QString importKeepsCopyText() {
    return QStringLiteral(
        "The current database is kept as a copy in the folder Backups of the data folder.");
}
inline QString importFailedMessage() {
    return QStringLiteral(
        "The database could not be imported. The current database has been left as it was.");
}
inline QString importCompleteMessage(const QString& appTitle) {
    return QStringLiteral("Database import complete.\r\r") + appTitle +
           QStringLiteral(" must be restarted for these changes to take effect.");
}
inline QString restartFailedMessage(const QString& appTitle) {
    return appTitle + QStringLiteral(" could not be started again. Please start it yourself.");
}

// The lines of a merge's report as a message box shows them: the first ones, then how many
// more there are, so that the box stays on the screen.
inline QString mergeReportText(const QStringList& lines) {
    constexpr int kLinesShown = 20;
    if (lines.size() <= kLinesShown) {
        return lines.join(QStringLiteral("\r"));
    }
    return lines.first(kLinesShown).join(QStringLiteral("\r")) +
           QStringLiteral("\r  ... and %1 more lines").arg(lines.size() - kLinesShown);
}
inline QString mergeQuestion(const QString& file, const QStringList& lines) {
    return QStringLiteral("You are about to merge the database %1 into the current one:\r\r%2\r\r")
               .arg(file, mergeReportText(lines)) +
           importKeepsCopyText() + QStringLiteral("\r\rAre you sure?");
}
inline QString mergeFailedMessage() {
    return QStringLiteral(
        "The database could not be merged. The current database has been left as it was.");
}
inline QString mergeCompleteMessage(const QStringList& lines) {
    return QStringLiteral("Database merge complete:\r\r") + mergeReportText(lines);
}

// The names of the files export and import work with.
inline QString exportFileName() {
    return QStringLiteral("data.ksd");
}

}  // namespace ks

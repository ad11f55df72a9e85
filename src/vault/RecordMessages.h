#pragma once

#include <QString>

#include "core/CommonTexts.h"  // passwordsDifferMessage()

namespace ks {

// What the record editor and the command line say when a save of a record is refused.

inline QString shortNameBlankMessage() {
    return QStringLiteral("You must enter a short name for your new record");
}

inline QString shortNameInUseMessage() {
    return QStringLiteral(
        "The 'Short Name' entered is already in use.  Please enter a different 'Short Name'.");
}

inline QString shortNameTooShortMessage() {
    return QStringLiteral(
        "The 'Short Name' field was left blank, or is less than 3 characters.\r\rThis record has "
        "not been saved.");
}

inline QString recordNotSavedMessage() {
    return QStringLiteral("The record could not be saved.");
}

inline QString recordGoneMessage() {
    return QStringLiteral("That record no longer exists.");
}

inline QString versionDamagedMessage() {
    return QStringLiteral(
        "This version holds a value that could not be opened, so it cannot be restored.");
}

}  // namespace ks

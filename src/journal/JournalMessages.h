#pragma once

#include <QString>
#include "core/CommonTexts.h"

namespace ks::journal {

// The texts the journal shows and answers, each kept in one place.

inline QString success() {
    return QStringLiteral("SUCCESS");
}
inline QString failure() {
    return QStringLiteral("FAILURE");
}

inline QString saveChangesQuestion() {
    return QStringLiteral("Would you like to save the changes to the current Journal entry?");
}
inline QString modifyQuestion() {
    return QStringLiteral("You are about to modify an existing entry.  Are you sure?");
}
inline QString tooShortQuestion() {
    return QStringLiteral(
        "Your Journal entry is too short to be encrypted.\r\rWould you like to save it "
        "unencrypted?");
}
inline QString recordCreated() {
    return recordCreatedMessage();
}
inline QString noMoreEntries() {
    return QStringLiteral("No more entries found.");
}

// Failures of the database, which the user must learn of.
inline QString couldNotSave() {
    return QStringLiteral("The Journal entry could not be saved.");
}
inline QString couldNotLoad() {
    return QStringLiteral("The Journal entry could not be read.");
}
inline QString couldNotSearch() {
    return QStringLiteral("The Journal entries could not be searched.");
}

}  // namespace ks::journal

#pragma once

#include <QString>

namespace ks {

// Texts that more than one part of the program shows.

// Confirms a newly created password record or journal entry.
inline QString recordCreatedMessage() {
    return QStringLiteral("Record was successfully created.");
}

// The two passwords typed (a record's, a new login password) differ.
inline QString passwordsDifferMessage() {
    return QStringLiteral("Passwords entered were not identical");
}

// The settings file could not be written; `error` says why.
inline QString settingsNotSavedMessage(const QString& error) {
    return QStringLiteral(
               "The settings could not be saved; the settings file has been left as it "
               "was.\r\r%1")
        .arg(error);
}

}  // namespace ks

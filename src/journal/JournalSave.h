#pragma once

#include <QString>

#include "core/FailureReport.h"
#include "core/Services.h"

namespace ks {

// How a save ended: written, refused by the user's answer, or failed (the user has been told).
enum class JournalSaveStatus { Saved, Refused, Failed };

struct JournalSaveResult {
    JournalSaveStatus status = JournalSaveStatus::Failed;
    // The outcome text: success when the entry was written, else failure.
    QString outcome() const;
    bool saved() const { return status == JournalSaveStatus::Saved; }
};

// Saves the text as the logged-in user's entry of the day. An existing entry is modified only
// after the user confirms (unless `skipConfirmation`), a text too short to be encrypted is saved
// plain only if the user agrees, and a new entry is confirmed with a message. A failure of the
// database or of the cipher is told to the user and leaves the stored entry as it was. The text
// replaced goes to the entry's history as the settings say; a `restoring` save (of a kept text)
// keeps it whenever it was written.
JournalSaveResult SaveJournalEntry(Services& services, const QString& dateText, const QString& text,
                                   bool skipConfirmation, bool restoring = false);

}  // namespace ks

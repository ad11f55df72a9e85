#pragma once

#include <QDate>
#include <QString>
#include <optional>

#include "core/Account.h"
#include "core/AccountConversion.h"
#include "journal/JournalHistory.h"
#include "storage/Database.h"

namespace ks {

// The journal's rows in `Journals`: one entry per owner and date text. An entry of 4 characters
// or more is stored encrypted; a shorter one is stored as typed, once the user has agreed. A
// protected account seals every entry, whatever its length, bound to its row; the dates stay
// readable.

// Whether a text is too short to be encrypted (it is then stored plain, if the user agrees).
bool tooShortToEncrypt(const QString& text);
// The value stored for an entry text: its cipher text, or the text itself when it is too short.
// Empty when the encryption failed (the cipher has told the user).
QString storedJournalValue(const QString& text);
// The text shown for a stored value: a value of fewer than 4 characters as it is, a longer one
// decrypted.
QString shownJournalText(const QString& stored);
// Whether an entry counts as no entry for the entry search: empty or spaces only.
bool isBlankJournalText(const QString& shown);
// The same for a stored value, decrypting no more of it than it takes to tell: the first
// characters of any entry that is not blank almost always show it.
bool isBlankStoredJournal(const QString& stored);

// The text of an entry of `account` stored in the row `rowUuid`: for an account in the shared
// format as shownJournalText says; nullopt when a protected account's entry does not open.
std::optional<QString> shownJournalText(const Account& account, QByteArrayView rowUuid,
                                        const QString& stored);

// The shown text of the account's entry of that day (damagedValueText() for an entry that does
// not open); nullopt when the day has no entry.
Result<std::optional<QString>> LoadJournalEntry(DatabaseAccess& database, const Account& account,
                                                const QString& dateText);

// Saving is split so that the caller can ask its questions in between:
// first whether the day already has an entry of the owner ...
Result<bool> journalEntryExists(DatabaseAccess& database, const Account& account,
                                const QString& dateText);
// ... then the write of the stored value, in one transaction: the existing row of the day gets
// the new value and `LastModified`, its text replaced kept in history as `keeping` says;
// without one a new row is added. True when a row was added.
Result<bool> writeJournalEntry(DatabaseAccess& database, const QString& owner,
                               const QString& dateText, const QString& storedValue, QDate today,
                               const JournalKeeping& keeping = {});
// The same for a protected account, which seals `text` for the row it goes into.
Result<bool> writeSealedJournalEntry(DatabaseAccess& database, const Account& account,
                                     const QString& dateText, const QString& text, QDate today,
                                     const JournalKeeping& keeping = {});

// Turns every entry of `conversion.from`, and every kept text of its entries, into the sealed
// form of `conversion.to`, on the caller's connection and inside its transaction; each row
// keeps its identity.
DbStatus sealJournal(Connection& connection, const AccountConversion& conversion);

}  // namespace ks

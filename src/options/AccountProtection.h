#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "core/AccountConversion.h"
#include "protection/PassPhraseKey.h"
#include "storage/Database.h"

namespace ks {

// Turning an account in the shared format into a protected one, and changing a protected
// account's pass phrase.

// Why a pass phrase is refused before anything is asked of the database; None when it may go on.
enum class PassPhraseRefusal { None, CurrentMissing, NotIdentical, TooShort, TooLong, OnlySpaces };

// Checks a new pass phrase and its repetition as typed (spaces are part of a pass phrase).
PassPhraseRefusal validateNewPassPhrase(const QString& current, const QString& passPhrase,
                                        const QString& repetition);
QString passPhraseRefusalMessage(PassPhraseRefusal refusal);

// One part of the account's rows, converted to the sealed form (see AccountConversion.h).
using ConversionPart = std::function<DbStatus(Connection&, const AccountConversion&)>;

// How many rows of the account `owner` a conversion writes (for its progress).
Result<qint64> countAccountRows(DatabaseAccess& database, const QString& owner);

struct ProtectionOutcome {
    enum class Result { Protected, PasswordIncorrect, Failed } result = Result::Failed;
    DbStatus status;  // why it failed (DbCode::Cancelled when the user stopped it)
    Account account;  // the account with its data key, when protected
};

// Protects the account `owner`, in the shared format with the password `password` (trimmed, as
// stored): a new data key is wrapped under `passPhrase` stretched with `kdf`, every part
// converts the account's rows, and the account's password is replaced by the wrapped key. One
// transaction: when a part fails or is cancelled, the account stays exactly as it was.
ProtectionOutcome protectAccount(DatabaseAccess& database, const QString& owner,
                                 const QString& password, const QString& passPhrase,
                                 const KdfParams& kdf, const QList<ConversionPart>& parts,
                                 const std::function<bool()>& rowDone);

// Seals what of the protected account `account` (its data key held) is still in the shared
// format: rows that a machine where the account was not yet protected wrote before this one
// took the protection from elsewhere. Each converted row keeps its time of last write and goes
// to the sync folder again with its history (its note as written there is dropped). One
// transaction; nothing is written when every row is sealed. Returns how many rows and kept
// versions were converted.
Result<int> finishProtection(DatabaseAccess& database, const Account& account,
                             const QList<ConversionPart>& parts);

// Gives the protected account `owner` a new pass phrase: its data key, opened with `current`,
// is wrapped again under `passPhrase` (with a new salt, the same cost); nothing else is
// encrypted again.
ProtectionOutcome changePassPhrase(DatabaseAccess& database, const QString& owner,
                                   const QString& current, const QString& passPhrase);

}  // namespace ks

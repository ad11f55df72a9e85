#pragma once

#include <QString>

#include "core/Account.h"
#include "protection/PassPhraseKey.h"
#include "storage/Database.h"

namespace ks::test {

// The cheapest stretching of a pass phrase libsodium allows: tests check behaviour, not cost.
KdfParams cheapKdf();

// Makes the account `name` (created with `password` when it is new) a protected one with a
// fresh data key under `passPhrase`, stretched cheaply, as protecting an empty account does.
// The test fails when it cannot; the account as the stores see it after a login.
Account protectedAccount(DatabaseAccess& database, const QString& name,
                         const QString& passPhrase = QStringLiteral("correct horse battery"),
                         const QString& password = QStringLiteral("password"));

// Adds `count` records to the account straight into the table, sealed as the account seals: the
// i-th (from 0) is named "Record <i>" and filed under "Work" when i is a multiple of 3, else
// under "Home"; it has no other values. False when they could not be added.
bool addNumberedRecords(DatabaseAccess& database, const Account& account, int count);

}  // namespace ks::test

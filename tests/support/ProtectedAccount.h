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

}  // namespace ks::test

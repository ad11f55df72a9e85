#pragma once

#include <QJsonValue>
#include <QString>
#include <variant>

#include "core/Account.h"
#include "storage/Database.h"
#include "vault/RecordStore.h"

namespace ks::cli {

// Says why a database step failed; the exit code.
int databaseFailed(const DbStatus& status);

// The account's record named `name`: the name as written (spaces around aside), else the one it
// matches as the searches match text (letter case and the spaces between words aside, "strasse"
// finds "Straße"). The record, or the exit code once the user was told why there is none.
std::variant<StoredRecord, int> findRecord(RecordStore& store, const Account& account,
                                           const QString& name);

// JSON for standard output: compact, one line, and every control character, DEL and the C1
// controls among them, written as an escape so that none reaches the terminal.
QString jsonText(const QJsonValue& value);

}  // namespace ks::cli

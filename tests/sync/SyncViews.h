#pragma once

// What the convergence test of the sync folder reads: the files of a machine's view of the
// folder, and an account's records decrypted.
#include <QMap>
#include <QString>
#include <QStringList>

#include "core/Account.h"
#include "storage/Database.h"

namespace ks::test {

// The values of a record version joined into one text.
QString joined(const QStringList& values);

// The files of a view, by path inside it, with their sizes; dot-names (work files) aside.
QMap<QString, qint64> viewFiles(const QString& view);

// The files of the device `deviceId` that its writer's view (`source`) no longer holds (it
// removed them after a snapshot) but another view (`target`) still does.
QStringList removedByWriter(const QString& deviceId, const QMap<QString, qint64>& source,
                            const QMap<QString, qint64>& target);

// The decrypted records of an account in one table (Logins or LoginsHistory).
QStringList decryptedRecords(Connection& connection, const Account& account, const char* table);

}  // namespace ks::test

#include "WindowsProtected.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "ProtectedAccount.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "options/AccountProtection.h"
#include "options/ConversionParts.h"

namespace ks::bench {

namespace {

// Raise when the protected form of an account changes, so that stale copies are not reused.
const char* const kProtectionVersion = "protected-1";

// Protects the measured user of the database at `path` as the Options tab does, with the
// cheapest stretching: the figures are of the windows, not of the pass phrase's deliberate cost.
bool protect(const QString& path, const FillPlan& plan) {
    DatabaseAccess database(path, PassPhrase());
    if (!database.open().ok()) {
        return false;
    }
    const ProtectionOutcome outcome = protectAccount(
        database, EncryptField(userName(measuredIndex(plan))), userPassword(), userPassPhrase(),
        test::cheapKdf(), accountConversionParts(), [] { return true; });
    database.CloseAllDatabaseObjects();
    if (outcome.result != ProtectionOutcome::Result::Protected) {
        std::fprintf(stderr, "could not protect %s: %s\n", qPrintable(plan.name),
                     qPrintable(outcome.status.detail));
        return false;
    }
    return true;
}

}  // namespace

QString userPassPhrase() {
    return QStringLiteral("  seven lanterns over the harbour  ");
}

QString cachedProtectedDatabase(const FillPlan& plan, const QString& plainPath) {
    const QString path = QFileInfo(plainPath).path() + QLatin1Char('/') + plan.name +
                         QLatin1Char('-') + QString::fromLatin1(kProtectionVersion) +
                         QStringLiteral(".mdb");
    if (QFileInfo::exists(path)) {
        // This build's indexes, once, rather than at every timed first login.
        DatabaseAccess(path, PassPhrase()).open();
        return path;
    }
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    if (!QFile::copy(plainPath, partial)) {
        return QString();
    }
    QFile::setPermissions(partial, QFile::ReadOwner | QFile::WriteOwner);
    std::fprintf(stderr, "protecting the measured user of %s (once; kept as %s)\n",
                 qPrintable(plan.name), qPrintable(path));
    if (!protect(partial, plan) || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        return QString();
    }
    return path;
}

}  // namespace ks::bench

// A second process for the protection fault test: protects an account, changes its pass phrase
// again and again, or saves records to it, printing each step once it is committed, until it is
// killed.
#include <QCoreApplication>
#include <QThread>
#include <cstdio>

#include "ProtectedAccount.h"
#include "app/LoginCheck.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "options/AccountProtection.h"
#include "options/ConversionParts.h"
#include "vault/RecordStore.h"

using namespace ks;

namespace {

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Protects `name` (password `password`) with `phrase`, a little slowly, so that a kill finds it
// in the middle.
int protect(DatabaseAccess& database, const QString& name, const QString& password,
            const QString& phrase) {
    const ProtectionOutcome outcome =
        protectAccount(database, EncryptField(name), password, phrase, test::cheapKdf(),
                       accountConversionParts(), [] {
                           QThread::usleep(300);
                           return true;
                       });
    say(outcome.result == ProtectionOutcome::Result::Protected ? QStringLiteral("protected")
                                                               : outcome.status.detail);
    return outcome.result == ProtectionOutcome::Result::Protected ? 0 : 1;
}

// Changes the pass phrase between two, printing the one in force after each change.
int rephrase(DatabaseAccess& database, const QString& name, QString current, QString next) {
    for (;;) {
        if (changePassPhrase(database, EncryptField(name), current, next).result !=
            ProtectionOutcome::Result::Protected) {
            say(QStringLiteral("error"));
            return 1;
        }
        say(next);
        std::swap(current, next);
    }
}

// Saves records named "saved N", printing N once the record is committed.
int save(DatabaseAccess& database, const QString& name, const QString& phrase, int first) {
    Result<LoginAttempt> login = attemptLogin(database, name, phrase);
    if (!login.ok() || login->match != LoginMatch::Matches) {
        say(QStringLiteral("error"));
        return 1;
    }
    RecordStore store(database);
    for (int n = first;; ++n) {
        const RecordFields fields{QStringLiteral("saved %1").arg(n),
                                  QStringLiteral("u"),
                                  QStringLiteral("pw %1").arg(n),
                                  QString(),
                                  QString(),
                                  QStringLiteral("Saved")};
        const SaveOutcome outcome = store.CreateRecord(login->account, fields).outcome;
        // A record the run before saved but was killed before telling is there already.
        if (outcome == SaveOutcome::ShortNameInUse) {
            continue;
        }
        if (outcome != SaveOutcome::Saved) {
            say(QStringLiteral("error"));
            return 1;
        }
        say(QString::number(n));
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 5) {
        return 2;
    }
    DatabaseAccess database(arguments.at(2), PassPhrase());
    const QString& mode = arguments.at(1);
    if (mode == QStringLiteral("protect") && arguments.size() == 6) {
        return protect(database, arguments.at(3), arguments.at(4), arguments.at(5));
    }
    if (mode == QStringLiteral("rephrase") && arguments.size() == 6) {
        return rephrase(database, arguments.at(3), arguments.at(4), arguments.at(5));
    }
    if (mode == QStringLiteral("save") && arguments.size() == 6) {
        return save(database, arguments.at(3), arguments.at(4), arguments.at(5).toInt());
    }
    return 2;
}

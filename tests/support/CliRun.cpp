#include "CliRun.h"

#include <QCoreApplication>
#include <QProcess>
#include <QtTest>

#include "app/Accounts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "vault/RecordBatch.h"

namespace ks::test {

CliRun runCli(const QStringList& arguments, const QByteArray& input) {
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/keystead-cli"),
                  arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

CliRun runCliAsAnna(const QStringList& arguments) {
    return runCli(QStringList{QStringLiteral("--stdin")} + arguments, "anna\nsecret1\n");
}

void addAnnaWith(const QString& path, const QString& shortName) {
    DatabaseAccess database(path, PassPhrase());
    QVERIFY(CreateUser(database, QStringLiteral("anna"), QStringLiteral("secret1")).ok());
    const QString anna = QStringLiteral("anna");
    QCOMPARE(createRecords(database, EncryptField(anna),
                           {{shortName, anna, QStringLiteral("pw"), {}, {}, {}}})
                 .created,
             1);
    database.CloseAllDatabaseObjects();
}

}  // namespace ks::test

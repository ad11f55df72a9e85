#include <QtTest>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "app/Accounts.h"
#include "app/DatabasePreparation.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"

using namespace ks;

class AccountsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    test::ScriptedDialogs dialogs;

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        dialogs.clear();
        setCipherDialogs(&dialogs, QStringLiteral("Keystead"));
    }
    void cleanup() { env.reset(); }

    void preparationCopiesTheTemplateOnceAndPrivately() {
        const QString folder = env->dataFolder();
        DatabasePreparation prepared = prepareDatabase(folder, env->appFolder());
        QCOMPARE(prepared.outcome, DatabasePreparation::Outcome::Ready);
        QCOMPARE(prepared.databasePath, env->databasePath());
        QCOMPARE(QFile::permissions(folder) & 0x7777, QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ExeOwner | QFile::ReadUser |
                                                          QFile::WriteUser | QFile::ExeUser);
        QCOMPARE(QFile::permissions(prepared.databasePath),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        // An existing database is never replaced, even with the template gone.
        DatabaseAccess database(prepared.databasePath, PassPhrase());
        QVERIFY(CreateUser(database, QStringLiteral("anna"), QStringLiteral("secret")).ok());
        QFile::remove(env->templatePath());
        prepared = prepareDatabase(folder, env->appFolder());
        QCOMPARE(prepared.outcome, DatabasePreparation::Outcome::Ready);
        QVERIFY(VerifyUser(database, UserCheck::USERNAME, EncryptField(QStringLiteral("anna")), {})
                    .value());
        // Both gone: the template is reported missing.
        QFile::remove(prepared.databasePath);
        QCOMPARE(prepareDatabase(folder, env->appFolder()).outcome,
                 DatabasePreparation::Outcome::TemplateMissing);
    }

    void engineFailuresAreReportedAndChangeNothing() {
        const DatabasePreparation prepared = prepareDatabase(env->dataFolder(), env->appFolder());
        // A damaged database file: an error, never "no such user".
        QFile file(prepared.databasePath);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(100);
        file.write(QByteArray(4096, '\x5a'));
        file.close();
        const QByteArray before = [&] {
            QFile f(prepared.databasePath);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        DatabaseAccess database(prepared.databasePath, PassPhrase());
        const Result<bool> known =
            VerifyUser(database, UserCheck::USERNAME, QStringLiteral("AB"), {});
        QVERIFY(!known.ok());
        QVERIFY(!CreateUser(database, QStringLiteral("anna"), QStringLiteral("pass")).ok());
        QFile after(prepared.databasePath);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }
};

QTEST_GUILESS_MAIN(AccountsTest)
#include "tst_accounts.moc"

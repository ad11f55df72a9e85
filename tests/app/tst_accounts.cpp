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

    // Two running programs creating the same name at once: both saw it unknown, one account.
    void nameMadeMeanwhileIsNotMadeTwice() {
        const DatabasePreparation prepared = prepareDatabase(env->dataFolder(), env->appFolder());
        DatabaseAccess first(prepared.databasePath, PassPhrase());
        DatabaseAccess second(prepared.databasePath, PassPhrase());
        const QString name = EncryptField(QStringLiteral("anna"));
        QVERIFY(!VerifyUser(first, UserCheck::USERNAME, name, {}).value());
        QVERIFY(!VerifyUser(second, UserCheck::USERNAME, name, {}).value());
        QVERIFY(CreateUser(second, QStringLiteral("anna"), QStringLiteral("other")).ok());
        const DbStatus made = CreateUser(first, QStringLiteral("anna"), QStringLiteral("secret"));
        QVERIFY(!made.ok());
        Result<Connection> connection = first.open();
        Statement count = connection->prepare(QStringLiteral("SELECT count(*) FROM Users"));
        QVERIFY(count.next());
        QCOMPARE(count.integer(0), qint64(1));
        // The engine refuses a second row of one name too.
        QVERIFY(!connection
                     ->exec(QStringLiteral("INSERT INTO Users (UserName) VALUES ('%1')").arg(name))
                     .ok());
    }

    // A database made before names were unique gets the unique index at its first open; one
    // that already holds a name twice is used as it is.
    void earlierDatabasesGetTheUniqueIndex() {
        const DatabasePreparation prepared = prepareDatabase(env->dataFolder(), env->appFolder());
        const auto downgrade = [&](const char* rows) {
            DatabaseAccess access(prepared.databasePath, PassPhrase());
            Result<Connection> connection = access.open();
            QVERIFY(connection
                        ->exec(QStringLiteral("DROP INDEX UsersByName; CREATE INDEX "
                                              "UsersByName ON Users (UserName); ") +
                               QLatin1String(rows))
                        .ok());
        };
        const auto duplicateRefused = [&] {
            DatabaseAccess access(prepared.databasePath, PassPhrase());
            Result<Connection> connection = access.open();
            return !connection->exec(QStringLiteral("INSERT INTO Users (UserName) VALUES ('X')"))
                        .ok();
        };
        downgrade("INSERT INTO Users (UserName) VALUES ('X')");
        QVERIFY(duplicateRefused());
        downgrade("INSERT INTO Users (UserName) VALUES ('Y'), ('Y')");
        QVERIFY(!duplicateRefused());  // the upgrade could not be made; the rows stay usable
        DatabaseAccess access(prepared.databasePath, PassPhrase());
        QVERIFY(VerifyUser(access, UserCheck::USERNAME, QStringLiteral("Y"), {}).value());
    }
};

QTEST_GUILESS_MAIN(AccountsTest)
#include "tst_accounts.moc"

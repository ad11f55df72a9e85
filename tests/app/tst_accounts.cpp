#include <QtTest>

#include <sys/stat.h>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "app/Accounts.h"
#include "app/DatabasePreparation.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"

using namespace ks;
using namespace Qt::StringLiterals;

class AccountsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    test::ScriptedDialogs dialogs;

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        dialogs.clear();
        setCipherDialogs(&dialogs, u"Keystead"_s);
    }
    void cleanup() { env.reset(); }

    void preparationCopiesTheTemplateOnceAndPrivately() {
        const QString folder = env->dataFolder();
        DatabasePreparation prepared = prepareDatabase(folder, env->appFolder());
        QCOMPARE(prepared.outcome, DatabasePreparation::Outcome::Ready);
        QCOMPARE(prepared.databasePath, env->databasePath());
        QCOMPARE(test::fileMode(folder), 0700);
        QCOMPARE(test::fileMode(prepared.databasePath), 0600);
        // An existing database is never replaced, even with the template gone.
        DatabaseAccess database(prepared.databasePath, PassPhrase());
        QVERIFY(CreateUser(database, u"anna"_s, u"secret"_s).ok());
        QFile::remove(env->templatePath());
        prepared = prepareDatabase(folder, env->appFolder());
        QCOMPARE(prepared.outcome, DatabasePreparation::Outcome::Ready);
        QVERIFY(VerifyUser(database, UserCheck::USERNAME, EncryptField(u"anna"_s), {}).value());
        // A database others may read is made private; one others may change is refused.
        const QByteArray path = QFile::encodeName(env->databasePath());
        QVERIFY(::chmod(path.constData(), 0644) == 0);
        QCOMPARE(prepareDatabase(folder, env->appFolder()).outcome,
                 DatabasePreparation::Outcome::Ready);
        QCOMPARE(test::fileMode(env->databasePath()), 0600);
        QVERIFY(::chmod(path.constData(), 0666) == 0);
        prepared = prepareDatabase(folder, env->appFolder());
        QCOMPARE(prepared.outcome, DatabasePreparation::Outcome::Untrusted);
        QVERIFY(prepared.databasePath.isEmpty());
        QVERIFY2(prepared.error.contains(u"chmod 600"_s), qPrintable(prepared.error));
    }

    void engineFailuresAreReportedAndChangeNothing() {
        // A damaged database file: an error, never "no such user".
        const QString path = env->freshDatabase();
        const QByteArray before =
            test::readBytes(path).replace(100, 4096, QByteArray(4096, '\x5a'));
        test::writeFile(path, before);
        DatabaseAccess database(path, PassPhrase());
        QVERIFY(!VerifyUser(database, UserCheck::USERNAME, u"AB"_s, {}).ok());
        QVERIFY(!CreateUser(database, u"anna"_s, u"pass"_s).ok());
        QCOMPARE(test::readBytes(path), before);
    }

    // Two running programs creating the same name at once: both saw it unknown, one account.
    void nameMadeMeanwhileIsNotMadeTwice() {
        const QString path = env->freshDatabase();
        DatabaseAccess first(path, PassPhrase());
        DatabaseAccess second(path, PassPhrase());
        const QString name = EncryptField(u"anna"_s);
        QVERIFY(!VerifyUser(first, UserCheck::USERNAME, name, {}).value());
        QVERIFY(!VerifyUser(second, UserCheck::USERNAME, name, {}).value());
        QVERIFY(CreateUser(second, u"anna"_s, u"other"_s).ok());
        QVERIFY(!CreateUser(first, u"anna"_s, u"secret"_s).ok());
        Result<Connection> connection = first.open();
        QCOMPARE(test::countOf(connection.value(), u"SELECT count(*) FROM Users"_s), 1);
    }

    // A database made before names were unique gets the unique index at its first open; one
    // that already holds a name twice is used as it is.
    void earlierDatabasesGetTheUniqueIndex() {
        const QString path = env->freshDatabase();
        const auto downgrade = [&](const char* rows) {
            DatabaseAccess access(path, PassPhrase());
            Result<Connection> connection = access.open();
            QVERIFY(connection
                        ->exec(u"DROP INDEX UsersByName; CREATE INDEX "
                               "UsersByName ON Users (UserName); "_s +
                               QLatin1String(rows))
                        .ok());
        };
        const auto duplicateRefused = [&] {
            DatabaseAccess access(path, PassPhrase());
            Result<Connection> connection = access.open();
            return !connection->exec(u"INSERT INTO Users (UserName) VALUES ('X')"_s).ok();
        };
        downgrade("INSERT INTO Users (UserName) VALUES ('X')");
        QVERIFY(duplicateRefused());
        downgrade("INSERT INTO Users (UserName) VALUES ('Y'), ('Y')");
        QVERIFY(!duplicateRefused());  // the upgrade could not be made; the rows stay usable
        DatabaseAccess access(path, PassPhrase());
        QVERIFY(VerifyUser(access, UserCheck::USERNAME, u"Y"_s, {}).value());
    }
};

QTEST_GUILESS_MAIN(AccountsTest)
#include "tst_accounts.moc"

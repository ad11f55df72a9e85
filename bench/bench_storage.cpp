// Opening the database: the pass phrase at every open against the raw key derived once, and a
// whole login check (two account lookups) on the chosen policy.
#include <QCoreApplication>
#include <cstdio>

#include "BenchSupport.h"
#include "app/Accounts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/Database.h"

using namespace ks;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    bench::BenchFolder folder;
    const QString path = folder.databasePath();

    const double byPhrase = bench::medianMs(15, [&] {
        Result<Connection> c = Connection::openFile(path, PassPhrase().toUtf8(), false);
        verifyDatabase(c.value());
    });
    DatabaseAccess database(path, PassPhrase());
    database.open();  // derives the raw key once
    const double byRawKey = bench::medianMs(200, [&] { database.open(); });

    CreateUser(database, QStringLiteral("anna"), QStringLiteral("secret"));
    const QString name = EncryptField(QStringLiteral("anna"));
    const QString password = EncryptField(QStringLiteral("secret"));
    const double login = bench::medianMs(200, [&] {
        VerifyUser(database, UserCheck::USERNAME, name, name);
        VerifyUser(database, UserCheck::PASSWORD, password, name);
    });

    std::printf("Database open (verified), per operation\n");
    bench::printFigure("pass phrase keyed at every open (baseline)", byPhrase);
    bench::printRatio("raw key derived once per file", byRawKey, byPhrase);
    bench::printRatio("login check: name and password lookups", login, byPhrase);
    return 0;
}

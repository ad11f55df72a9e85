// Makes the empty database that is shipped beside the program: every table of the schema, no
// accounts or records, and the shared categories.
#include <QFile>
#include <QString>
#include <cstdio>

#include "core/DatabaseTexts.h"
#include "crypto/PassPhrase.h"
#include "storage/Database.h"
#include "storage/Schema.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_template OUTPUT\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (QFile::exists(path)) {
        std::fprintf(stderr, "make_template: %s exists already\n", argv[1]);
        return 1;
    }
    ks::Result<ks::Connection> opened =
        ks::Connection::openFile(path, ks::PassPhrase().toUtf8(), /*create=*/true);
    ks::DbStatus status = opened.ok() ? ks::createSchema(opened.value()) : opened.status();
    if (status.ok()) {
        status = ks::verifyDatabase(opened.value());
    }
    if (!status.ok()) {
        std::fprintf(stderr, "make_template: %s (%s)\n",
                     qPrintable(ks::describeDatabaseStatus(status)), qPrintable(status.detail));
        QFile::remove(path);
        return 1;
    }
    return 0;
}

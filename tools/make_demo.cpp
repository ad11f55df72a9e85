// Fills a fresh data folder with a demonstration account, through the program's own stores:
// password records in several categories, a journal over the last months, and the pictures and
// files of an input folder. Used by scripts/screenshots.sh; the same input gives the same data.
//
//   make_demo DATA_FOLDER APP_FOLDER INPUT_FOLDER
//
// DATA_FOLDER must not hold a database yet. INPUT_FOLDER/pictures and INPUT/files hold what is
// checked in (in name order). Data.dat remembers the demonstration user, so the login window
// opens with the name filled in.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "DemoContent.h"
#include "app/Accounts.h"
#include "app/DatabasePreparation.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "files/CheckIn.h"
#include "files/GcabArchiver.h"
#include "files/WorkStatus.h"
#include "images/ImageStore.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "storage/SettingsFile.h"
#include "vault/RecordStore.h"

using namespace ks;

using namespace Qt::StringLiterals;

namespace {

class SilentStatus final : public WorkStatus {
public:
    void begin(const QString&) override {}
    void showStatus(const QString&) override {}
    void end() override {}
};

// Says what went wrong; false, for the callers that stop there.
bool fail(const char* what, const QString& detail = QString()) {
    std::fprintf(stderr, "make_demo: %s %s\n", what, qPrintable(detail));
    return false;
}

// Records that try the windows: long names, markup, other scripts, spaces around values.
QList<RecordFields> hostileRecords(int count) {
    const QStringList names = {u"  <b>Bold</b> & <i>markup</i> %1  "_s, u"Почтовый ящик №%1"_s,
                               u"長い名前のレコード %1"_s, u"حساب البريد %1"_s,
                               u"Long %1 "_s + QString(1000, u'w')};
    QList<RecordFields> records;
    for (int i = 0; i < count; ++i) {
        const QString name = names.at(i % names.size()).arg(i);
        records.append({name, u"  user.<%1>@example.org  "_s.arg(i), QString(1000, u'p'),
                        QString(1000, u'd') + u" <script>%1</script>"_s.arg(i),
                        u"Notes\n  with lines  "_s, i % 2 == 0 ? u"Email"_s : u"Ängste"_s});
    }
    return records;
}

bool addRecords(DatabaseAccess& database, const QString& owner, int hostile) {
    RecordStore store(database);
    for (const RecordFields& fields : demo::records() + hostileRecords(hostile)) {
        const SaveResult saved = store.CreateRecord(owner, fields);
        if (saved.outcome != SaveOutcome::Saved) {
            return fail("could not add the record", fields.shortName);
        }
    }
    return true;
}

bool addJournal(DatabaseAccess& database, const QString& owner, QDate today) {
    for (const demo::JournalDay& day : demo::journal(today)) {
        if (!writeJournalEntry(database, owner, journalDateText(day.day),
                               storedJournalValue(day.text), today)
                 .ok()) {
            return fail("could not write the entry of", journalDateText(day.day));
        }
    }
    return true;
}

QStringList filesIn(const QString& folder) {
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        paths.append(dir.filePath(name));
    }
    return paths;
}

bool addStoredItems(DatabaseAccess& database, const QString& owner, const QString& appFolder,
                    const QString& input) {
    const ImageCheckInResult pictures =
        AddImages(database, owner, filesIn(input + QStringLiteral("/pictures")));
    if (pictures.failure) {
        return fail("could not store the pictures", pictures.failure->path);
    }
    GcabArchiver archiver(appFolder);
    SilentStatus status;
    const QString archive = input + QStringLiteral("/store.cab");
    for (const QString& path : filesIn(input + QStringLiteral("/files"))) {
        const CheckInResult added = checkInFile(database, archiver, status, {path, archive, owner});
        if (added.outcome != CheckInOutcome::Added) {
            return fail("could not store the file", path);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    // --hostile N adds N records that try the windows' limits, for looking at them.
    const bool hostile = argc == 6 && std::strcmp(argv[4], "--hostile") == 0;
    if (argc != 4 && !hostile) {
        std::fprintf(stderr,
                     "usage: make_demo DATA_FOLDER APP_FOLDER INPUT_FOLDER [--hostile N]\n");
        return 2;
    }
    const QString dataFolder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + u'/';
    const QString appFolder = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    const QString input = QDir(QString::fromLocal8Bit(argv[3])).absolutePath();
    if (QFileInfo::exists(databasePathIn(dataFolder))) {
        fail("there is a database already in", dataFolder);
        return 1;
    }
    const DatabasePreparation prepared = prepareDatabase(dataFolder, appFolder);
    if (prepared.outcome != DatabasePreparation::Outcome::Ready) {
        fail("could not make the database:", prepared.error);
        return 1;
    }
    DatabaseAccess database(prepared.databasePath, PassPhrase());
    const demo::Account account = demo::account();
    if (!CreateUser(database, account.name, account.password).ok()) {
        fail("could not create the user", account.name);
        return 1;
    }
    const QString owner = EncryptField(account.name);
    const bool filled = addRecords(database, owner, hostile ? std::atoi(argv[5]) : 0) &&
                        addJournal(database, owner, QDate::currentDate()) &&
                        addStoredItems(database, owner, appFolder, input);
    database.CloseAllDatabaseObjects();
    if (!filled) {
        return 1;
    }
    if (const FsResult written = writeSettings(dataFolder, account.name, 1); !written) {
        fail("could not write the settings:", written.error);
        return 1;
    }
    return 0;
}

#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <memory>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "storage/Database.h"

namespace ks::test {

// One row of `Journals` as stored.
struct JournalRow {
    QString owner;
    QString date;
    QString journal;
    QString dateCreated;
    QString lastModified;
};

// A private world with a fresh database and the cipher's messages recorded.
class JournalWorld {
public:
    JournalWorld();
    ~JournalWorld();

    // The owner value of a login name.
    static QString owner(const QString& name);
    // Adds a row as the program would store the text (plain when shorter than 4 characters).
    void addEntry(const QString& owner, QDate day, const QString& text);
    // Adds a row with the date text and the stored value exactly as given.
    void addRawEntry(const QString& owner, const QString& dateText, const QString& stored);
    // Runs a statement on the database directly (to set up a failure, for instance).
    void exec(const QString& sql);

    TestEnvironment env;
    ScriptedDialogs dialogs;
    std::unique_ptr<DatabaseAccess> database;
};

// Every row of `Journals`, in stored order.
QList<JournalRow> journalRows(const QString& databasePath);

// Makes every write of a journal entry fail in the database (a fault of the disk, say).
QString failingJournalWrites();

}  // namespace ks::test

#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <optional>

#include "app/Program.h"
#include "storage/Database.h"

namespace ks::test {

// A private world for one test: its own home, data folder, temporary folder and program folder
// (with a copy of Template.dat), set through the environment and put back afterwards.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;

    // Programs started detached (the restart after an import): path and arguments.
    QList<QStringList> startedPrograms;

    QString root() const { return dir_.path() + QLatin1Char('/'); }
    QString appFolder() const { return root() + QStringLiteral("app/"); }
    QString dataFolder() const { return root() + QStringLiteral("data/Keystead/"); }
    QString tempBase() const { return root() + QStringLiteral("tmp/"); }
    QString configFolder() const { return root() + QStringLiteral("config/"); }
    QString databasePath() const { return dataFolder() + QStringLiteral("Data.mdb"); }
    QString templatePath() const { return appFolder() + QStringLiteral("Template.dat"); }

    // Sets (or, with nullopt, removes) a variable for the rest of the test.
    void setVariable(const char* name, std::optional<QString> value);

    // A fresh database copied from the template, private to the user, at `path` (by default
    // the data folder's Data.mdb), as the first login makes it; its path. The test fails when
    // the copy cannot be made.
    QString freshDatabase(const QString& path = {}) const;

    // Options for a Program living in this world; its end and opened pages are recorded.
    ProgramOptions programOptions();

    int endCount = 0;
    QList<QUrl> openedUrls;
    bool dailyBackups = false;     // whether the first login of a day makes a copy
    bool desktopOpensUrls = true;  // false: the desktop has no program to open them with

private:
    QTemporaryDir dir_;
    QMap<QByteArray, std::optional<QByteArray>> saved_;
};

// The base of a test class working on the database directly: each test function gets a world of
// its own holding a fresh database.
class DatabaseTest : public QObject {
protected:
    // Makes the world and the database; the test fails when the database cannot be made.
    void startDatabase();
    // Lets go of the database, then of the world.
    void endDatabase();

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<DatabaseAccess> database;
};

// The bytes of a file; `unreadable` when it cannot be read.
QByteArray readBytes(const QString& path, const QByteArray& unreadable = {});
// Makes (or overwrites) a file with these bytes, and its folder; its path. The test fails when
// the file cannot be written whole.
QString writeFile(const QString& path, const QByteArray& bytes);
// The permission bits of a file (-1 when there is none).
int fileMode(const QString& path);
// The first column of the first row of a query, as a number (-1 when there is none).
qint64 countOf(Connection& connection, const QString& sql);
// Every file below `folder`, hidden ones too.
QStringList filesUnder(const QString& folder);
// The files of `folder` (hidden ones too, not below it) other than the ones named: what a
// failed write left behind.
QStringList leftoverFiles(const QString& folder, const QStringList& expected);

}  // namespace ks::test

#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <optional>

#include "app/Program.h"

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
    QString databasePath() const { return dataFolder() + QStringLiteral("Data.mdb"); }
    QString templatePath() const { return appFolder() + QStringLiteral("Template.dat"); }

    // Sets (or, with nullopt, removes) a variable for the rest of the test.
    void setVariable(const char* name, std::optional<QString> value);

    // Options for a Program living in this world; its end and opened pages are recorded.
    ProgramOptions programOptions();

    int endCount = 0;
    QList<QUrl> openedUrls;
    bool desktopOpensUrls = true;  // false: the desktop has no program to open them with

private:
    QTemporaryDir dir_;
    QMap<QByteArray, std::optional<QByteArray>> saved_;
};

}  // namespace ks::test

#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace ks {

struct DataFolderChoice {
    QString folder;             // ends in "/"
    QStringList createAtStart;  // folders the home-drive rule makes at once, outermost first
};

// Chooses the data folder of the account that runs the program:
// 1. $APPDATA (an absolute path) + title + "/";
// 2. otherwise the XDG data home ($XDG_DATA_HOME, else $HOME/.local/share) + title + "/";
// 3. otherwise $HOMEDRIVE + title + " Users/" + the user's name + "/", made at once.
DataFolderChoice chooseDataFolder(const QProcessEnvironment& environment, const QString& appTitle);

// Makes a folder and its missing parents private (0700) from the start, whatever the umask. An
// existing folder of ours that others may enter (but not write to) is brought to 0700. False
// when it cannot be made.
bool ensurePrivateFolder(const QString& path);
// Makes a folder that several accounts may share (0755), and its missing parents, unless they
// exist.
bool ensureSharedFolder(const QString& path);

// Appends "/" unless the path ends in one.
QString withTrailingSlash(const QString& path);

}  // namespace ks

#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace ks {

// The folder that holds the program's own files (Template.dat and the help page), ending in "/":
// the executable's folder when they sit beside it (a build folder), otherwise
// <prefix>/share/keystead/ for an executable installed in <prefix>/bin. When neither holds the
// template, the executable's folder, so that the missing file is reported there.
QString programFilesFolder(const QString& executableFolder);

// The file that remembers the window layout of this machine's user: in the XDG config home
// ($XDG_CONFIG_HOME, else $HOME/.config) under Keystead/. Empty when neither is set.
QString windowSettingsPath(const QProcessEnvironment& environment);

}  // namespace ks

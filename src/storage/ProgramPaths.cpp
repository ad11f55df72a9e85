#include "storage/ProgramPaths.h"

#include <QDir>
#include <QFileInfo>

#include "storage/DataFolder.h"

namespace ks {

QString programFilesFolder(const QString& executableFolder) {
    const QString beside = withTrailingSlash(QDir::cleanPath(executableFolder));
    const QString installed =
        withTrailingSlash(QDir::cleanPath(beside + QStringLiteral("../share/keystead")));
    const QString marker = QStringLiteral("Template.dat");
    if (QFileInfo::exists(beside + marker) || !QFileInfo::exists(installed + marker)) {
        return beside;
    }
    return installed;
}

QString windowSettingsPath(const QProcessEnvironment& environment) {
    QString config = environment.value(QStringLiteral("XDG_CONFIG_HOME")).trimmed();
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) {
        const QString home = environment.value(QStringLiteral("HOME")).trimmed();
        if (home.isEmpty() || !QDir::isAbsolutePath(home)) {
            return {};
        }
        config = withTrailingSlash(home) + QStringLiteral(".config");
    }
    return withTrailingSlash(config) + QStringLiteral("Keystead/window.conf");
}

}  // namespace ks

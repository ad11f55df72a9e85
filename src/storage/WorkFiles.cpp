#include "storage/WorkFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "storage/AtomicFile.h"
#include "storage/Backups.h"
#include "storage/CopyHelpers.h"

namespace ks {

namespace {

QString exportNotePath(const QString& dataFolder) {
    return dataFolder + QStringLiteral("Export.part-path");
}

// What AtomicFile makes beside a file it replaces: "." + the name + "." + six characters.
const QRegularExpression& replacingWrite() {
    static const QRegularExpression pattern(
        QStringLiteral("^\\.(Data\\.mdb|Data\\.mdb\\.bak|Data\\.dat)\\.[A-Za-z0-9]{6}$"));
    return pattern;
}

void removeNotedExport(const QString& dataFolder) {
    QFile note(exportNotePath(dataFolder));
    if (!note.open(QIODevice::ReadOnly)) {
        return;
    }
    const QString partial = QString::fromUtf8(note.read(4096)).trimmed();
    note.close();
    // Only a partial copy, never whatever else the note may name.
    const QFileInfo info(partial);
    if (info.isAbsolute() && info.fileName().endsWith(QLatin1String(".part")) && !info.isDir()) {
        copying::removeWithCompanions(partial);
    }
    note.remove();
}

}  // namespace

QString importStagingPath(const QString& dataFolder) {
    return dataFolder + QStringLiteral("Import.part");
}

QString mergeStagingPath(const QString& dataFolder) {
    return dataFolder + QStringLiteral("Merge.part");
}

QString syncStagingPath(const QString& dataFolder) {
    return dataFolder + QStringLiteral("Sync.part");
}

void notePartialExport(const QString& dataFolder, const QString& partialFile) {
    AtomicFile note(exportNotePath(dataFolder));
    if (note.open() && note.write(partialFile.toUtf8())) {
        note.commit();
    }
}

void forgetPartialExport(const QString& dataFolder) {
    QFile::remove(exportNotePath(dataFolder));
}

void removeStaleWorkFiles(const QString& dataFolder) {
    if (dataFolder.isEmpty()) {
        return;
    }
    copying::removeWithCompanions(importStagingPath(dataFolder));
    copying::removeWithCompanions(mergeStagingPath(dataFolder));
    copying::removeWithCompanions(syncStagingPath(dataFolder));
    const QStringList hidden =
        QDir(dataFolder).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
    for (const QString& name : hidden) {
        if (replacingWrite().match(name).hasMatch()) {
            QFile::remove(dataFolder + name);
        }
    }
    removeUnfinishedBackups(backupsFolderIn(dataFolder));
    removeNotedExport(dataFolder);
}

}  // namespace ks

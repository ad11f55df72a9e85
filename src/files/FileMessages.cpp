#include "files/FileMessages.h"

namespace ks {

QString deleteFilesQuestion(const QStringList& names) {
    const QString heading = names.size() == 1
                                ? QStringLiteral("You are about to delete the following file:")
                                : QStringLiteral("You are about to delete the following files:");
    QString text = heading + QStringLiteral("\r\r");
    for (const QString& name : names) {
        text += name + QLatin1Char('\r');
    }
    return text + QStringLiteral("\rAre you sure?");
}

}  // namespace ks

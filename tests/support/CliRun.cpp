#include "CliRun.h"

#include <QCoreApplication>
#include <QProcess>

namespace ks::test {

CliRun runCli(const QStringList& arguments, const QByteArray& input) {
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/keystead-cli"),
                  arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace ks::test

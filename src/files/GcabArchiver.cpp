#include "files/GcabArchiver.h"

#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>

namespace ks {

GcabArchiver::GcabArchiver(QString appFolder) : appFolder_(std::move(appFolder)) {
}

QString GcabArchiver::program() const {
    const QString name = QStringLiteral("gcab");
    if (!appFolder_.isEmpty()) {
        const QString beside = QStandardPaths::findExecutable(name, {appFolder_});
        if (!beside.isEmpty()) {
            return beside;
        }
    }
    return QStandardPaths::findExecutable(name);
}

bool GcabArchiver::available() const {
    return !program().isEmpty();
}

ArchiverOutcome GcabArchiver::create(const QString& archive, const QString& file) {
    // -z compresses, -n stores the bare name; "--" keeps names that begin with "-" as names.
    return run({QStringLiteral("-c"), QStringLiteral("-z"), QStringLiteral("-n"),
                QStringLiteral("--"), archive, file});
}

ArchiverOutcome GcabArchiver::extract(const QString& archive, const QString& folder) {
    return run({QStringLiteral("-x"), QStringLiteral("-C"), folder, QStringLiteral("--"), archive});
}

ArchiverOutcome GcabArchiver::run(const QStringList& arguments) const {
    const QString path = program();
    if (path.isEmpty()) {
        return {false, QStringLiteral("the archiver gcab was not found")};
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QEventLoop loop;
    bool failedToStart = false;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            failedToStart = true;
            loop.quit();
        }
    });
    process.start(path, arguments);
    if (!failedToStart && process.state() != QProcess::NotRunning) {
        // The loop turns so that windows repaint; the caller has disabled what must not be used.
        loop.exec();
    }
    if (failedToStart || process.exitStatus() != QProcess::NormalExit) {
        return {false, process.errorString()};
    }
    if (process.exitCode() != 0) {
        return {false, QString::fromLocal8Bit(process.readAll()).trimmed()};
    }
    return {true, {}};
}

}  // namespace ks

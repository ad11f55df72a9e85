#include "app/SyncPasses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/BackgroundStep.h"
#include "crypto/PassPhrase.h"
#include "options/ConversionParts.h"

namespace ks {

namespace {

// Runs the passes asked for on a connection of its own: the apply first, then the write.
SyncOutcome runSyncPass(const QString& databasePath, const SyncRequest& request, bool apply,
                        bool write) {
    DatabaseAccess database(databasePath, PassPhrase());
    if (apply && write) {
        return syncOnce(database, request);
    }
    return apply ? applySyncFolder(database, request) : writeSyncChanges(database, request);
}

}  // namespace

SyncPasses::SyncPasses(const ProgramState& state, QString databasePath,
                       std::chrono::milliseconds writeDelay, std::chrono::milliseconds settle,
                       QObject* parent)
    : QObject(parent), state_(state), databasePath_(std::move(databasePath)) {
    writeTimer_.setSingleShot(true);
    writeTimer_.setInterval(writeDelay);
    settleTimer_.setSingleShot(true);
    settleTimer_.setInterval(settle);
    connect(&writeTimer_, &QTimer::timeout, this, [this] { ask(kWrite); });
    connect(&settleTimer_, &QTimer::timeout, this, [this] {
        watchFolder();  // device folders that came meanwhile are watched too
        ask(kApply);
    });
}

SyncPasses::~SyncPasses() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

SyncRequest SyncPasses::request() const {
    SyncRequest request;
    request.dataFolder = state_.DataFolder;
    request.syncFolder = state_.Sync.folder;
    request.machineName = state_.Sync.machineName;
    if (state_.LoggedIn) {
        request.keys.append(state_.CurrentAccount);
    }
    return request;
}

void SyncPasses::applyNow() {
    sessionOn_ = state_.LoggedIn;
    sealAtLogin_ = sessionOn_;
    watchFolder();
    ask(sessionOn_ ? kApply | kWrite : kApply);
}

void SyncPasses::settingsChanged() {
    watchFolder();
    ask(kApply | kWrite);
}

void SyncPasses::noteWrite() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Every save is written within the delay of itself: later saves join the wait.
            if (sessionOn_ && !writeTimer_.isActive()) {
                writeTimer_.start();
            }
        },
        Qt::QueuedConnection);
}

void SyncPasses::ask(int kinds) {
    if (state_.Sync.folder.isEmpty() || state_.Quitting) {
        return;
    }
    pending_ |= kinds;
    if (!worker_.joinable()) {
        startNext();
    }
}

void SyncPasses::holdPasses() {
    held_ = true;
    collectPass();
}

void SyncPasses::releasePasses() {
    held_ = false;
    if (!worker_.joinable()) {
        startNext();
    }
}

void SyncPasses::startNext() {
    if (held_ || pending_ == 0 || state_.Sync.folder.isEmpty()) {
        return;
    }
    runningKinds_ = std::exchange(pending_, 0);
    if (runningKinds_ & kWrite) {
        writeTimer_.stop();
    }
    result_ = std::make_shared<SyncOutcome>();
    SyncRequest asked = request();
    // Rows still to seal come only with a protection taken from elsewhere, which the next
    // login with the key finishes: the login's pass looks for them, not every pass.
    if ((runningKinds_ & kApply) && std::exchange(sealAtLogin_, false)) {
        asked.sealUnsealed = [](DatabaseAccess& database, const Account& account) {
            return finishProtection(database, account, accountConversionParts());
        };
    }
    worker_ = std::thread([this, result = result_, kinds = runningKinds_, request = asked,
                           path = databasePath_, gate = beforePass] {
        if (gate) {
            gate();
        }
        *result = runSyncPass(path, request, (kinds & kApply) != 0, (kinds & kWrite) != 0);
        QMetaObject::invokeMethod(this, &SyncPasses::collectPass, Qt::QueuedConnection);
    });
}

void SyncPasses::collectPass() {
    if (!worker_.joinable()) {
        return;  // taken in already
    }
    worker_.join();
    last_ = *result_;
    result_.reset();
    if (last_.applied.writesAnything() || last_.rowsSealed > 0) {
        Q_EMIT changedHere();
    }
    if (last_.rowsSealed > 0 && (runningKinds_ & kWrite) == 0) {
        noteWrite();  // the sealed rows go to the folder again, as a save's do
    }
    Q_EMIT passEnded();
    startNext();
}

void SyncPasses::writeBeforeEnd() {
    writeTimer_.stop();
    settleTimer_.stop();
    pending_ = 0;  // nothing else starts once the pass under way is taken in
    collectPass();
    if (state_.Sync.folder.isEmpty() || !QFile::exists(databasePath_)) {
        return;
    }
    const SyncRequest asked = request();
    last_ = runBesideWindows([&asked, this] {
        DatabaseAccess database(databasePath_, PassPhrase());
        return writeSyncChanges(database, asked);
    });
    Q_EMIT passEnded();
}

void SyncPasses::sessionEnded() {
    sessionOn_ = false;
    writeTimer_.stop();
    settleTimer_.stop();
    pending_ = 0;
    watcher_.reset();
}

void SyncPasses::applyAfterSession() {
    ask(kApply);
}

void SyncPasses::watchFolder() {
    if (!sessionOn_ || state_.Sync.folder.isEmpty()) {
        watcher_.reset();
        return;
    }
    if (!watcher_) {
        watcher_ = std::make_unique<QFileSystemWatcher>();
        connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, this,
                [this] { settleTimer_.start(); });
    }
    QStringList folders{state_.Sync.folder};
    const QDir folder(state_.Sync.folder);
    for (const QString& device : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        folders.append(folder.filePath(device));
    }
    const QStringList watched = watcher_->directories();
    for (const QString& path : watched) {
        if (!folders.contains(path)) {
            watcher_->removePath(path);
        }
    }
    for (const QString& path : folders) {
        if (!watched.contains(path) && QFileInfo(path).isDir()) {
            watcher_->addPath(path);
        }
    }
}

}  // namespace ks

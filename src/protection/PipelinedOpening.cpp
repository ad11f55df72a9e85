#include "protection/PipelinedOpening.h"

#include <sodium.h>

#include <algorithm>

namespace ks {

namespace {

void wipePlain(QByteArray& bytes) {
    sodium_memzero(bytes.data(), static_cast<std::size_t>(bytes.size()));
    bytes.resize(0);
}

}  // namespace

PipelinedOpening::PipelinedOpening(BlobOpener& opener, std::function<bool(QByteArrayView)> consume)
    : opener_(opener), consume_(std::move(consume)) {
    handingOn_ = [this](QByteArrayView plain) {
        refused_ = !consume_(plain);
        return !refused_;
    };
}

PipelinedOpening::~PipelinedOpening() {
    if (worker_.joinable()) {
        {
            const std::lock_guard<std::mutex> hold(lock_);
            stopping_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    wipePlain(ready_);
    wipePlain(opened_);
}

void PipelinedOpening::work() {
    const SealedSink collect = [this](QByteArrayView plain) {
        opened_.append(plain);
        return true;
    };
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [this] { return busy_ || stopping_; });
        if (stopping_) {
            return;
        }
        // The calling thread touches neither the opener nor these buffers while the work runs.
        hold.unlock();
        const bool ok = opener_.add(given_, collect);
        hold.lock();
        openedOk_ = ok;
        busy_ = false;
        changed_.notify_all();
    }
}

bool PipelinedOpening::waitForOpened() {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return !busy_; });
    ready_.swap(opened_);
    return openedOk_;
}

bool PipelinedOpening::handOn() {
    if (ready_.isEmpty()) {
        return true;
    }
    refused_ = !consume_(ready_);
    wipePlain(ready_);
    return !refused_;
}

bool PipelinedOpening::add(QByteArrayView sealed) {
    if (failed_) {
        return false;
    }
    if (!worker_.joinable() && !begun_) {
        // The first chunk opens here: a blob of one chunk needs no thread.
        begun_ = true;
        failed_ = !opener_.add(sealed, handingOn_);
        return !failed_;
    }
    if (!worker_.joinable()) {
        worker_ = std::thread([this] { work(); });
    } else if (!waitForOpened()) {
        failed_ = true;
        return false;
    }
    {
        const std::lock_guard<std::mutex> hold(lock_);
        given_.resize(sealed.size());
        std::copy(sealed.begin(), sealed.end(), given_.begin());
        busy_ = true;
    }
    changed_.notify_all();
    failed_ = !handOn();
    return !failed_;
}

bool PipelinedOpening::finish() {
    if (failed_) {
        return false;
    }
    if (worker_.joinable() && (!waitForOpened() || !handOn())) {
        failed_ = true;
        return false;
    }
    // The end of the stream is checked here: the second thread has nothing more to do.
    failed_ = !opener_.finish(handingOn_);
    return !failed_;
}

}  // namespace ks

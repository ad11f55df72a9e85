#include "protection/PipelinedOpening.h"

#include <sodium.h>

namespace ks {

namespace {

void wipePlain(QByteArray& bytes) {
    sodium_memzero(bytes.data(), static_cast<std::size_t>(bytes.size()));
    bytes.resize(0);
}

}  // namespace

PipelinedOpening::PipelinedOpening(BlobOpener& opener, std::function<bool(QByteArrayView)> consume)
    : opener_(opener), consume_(std::move(consume)) {
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
    // Each chunk was opened over the one before in the same buffers: the last ones are wiped.
    wipePlain(ready_);
    wipePlain(opened_);
}

void PipelinedOpening::work() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [this] { return busy_ || stopping_; });
        if (stopping_) {
            return;
        }
        // The calling thread touches neither the opener nor these buffers while the work runs.
        hold.unlock();
        const bool ok = opener_.openChunk(given_, opened_);
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
    readyWaiting_ = openedOk_;
    return openedOk_;
}

bool PipelinedOpening::handOn() {
    if (!readyWaiting_) {
        return true;
    }
    readyWaiting_ = false;
    if (ready_.isEmpty()) {
        return true;
    }
    refused_ = !consume_(ready_);
    return !refused_;
}

bool PipelinedOpening::add(QByteArray& sealed) {
    if (failed_) {
        return false;
    }
    ++pieces_;
    if (pieces_ == 1) {
        failed_ = !opener_.start(sealed);
        return !failed_;
    }
    if (pieces_ == 2) {
        // The first chunk opens here: a blob of one chunk needs no thread.
        readyWaiting_ = opener_.openChunk(sealed, ready_);
        failed_ = !readyWaiting_ || !handOn();
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
        given_.swap(sealed);
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
    failed_ = !opener_.ended();
    return !failed_;
}

}  // namespace ks

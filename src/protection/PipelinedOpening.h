#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "protection/BlobSeal.h"

namespace ks {

// Opens a sealed blob read a stored chunk at a time (BlobOpener::storedChunkBytes() each, after
// its head) with the opening on a second thread: while one chunk opens there, the calling thread
// reads the next stored chunk and hands the plain bytes of the one before on. Reading and handing
// on stay on the calling thread. No byte is copied on the way: the stored and plain buffers are
// passed between the threads, a stored and two plain chunks at most besides the caller's, and
// the plain ones are wiped when the opening ends. The first chunk opens on the calling thread, so
// a blob of one chunk needs no thread.
class PipelinedOpening {
public:
    // `consume` takes the plain bytes in order; false from it stops the opening.
    PipelinedOpening(BlobOpener& opener, std::function<bool(QByteArrayView)> consume);
    ~PipelinedOpening();
    PipelinedOpening(const PipelinedOpening&) = delete;
    PipelinedOpening& operator=(const PipelinedOpening&) = delete;

    // Takes the next stored piece: first the head, then one whole stored chunk each time (the
    // last may be shorter). `sealed` is taken over; a buffer to read the next piece into is left
    // in its place. False once a chunk did not open or `consume` refused: nothing more is
    // handed on after that.
    bool add(QByteArray& sealed);
    // Opens what is left and hands it on, then ends the opener's stream: true when the blob
    // opened whole and every byte was taken.
    bool finish();
    // Whether `consume` refused (as against a chunk that did not open).
    bool refused() const { return refused_; }

private:
    // The second thread: opens each stored chunk it is given into `opened_`.
    void work();
    // Waits until the second thread has opened what it was given; false when that failed.
    bool waitForOpened();
    // Hands the plain bytes in `ready_` on, once.
    bool handOn();

    BlobOpener& opener_;
    std::function<bool(QByteArrayView)> consume_;
    QByteArray ready_;   // plain bytes opened and not yet handed on
    QByteArray given_;   // stored bytes the second thread is opening (under the lock)
    QByteArray opened_;  // plain bytes the second thread has opened (under the lock)
    std::mutex lock_;
    std::condition_variable changed_;
    int pieces_ = 0;             // stored pieces taken so far, the head included
    bool readyWaiting_ = false;  // `ready_` holds bytes not handed on yet
    bool busy_ = false;
    bool stopping_ = false;
    bool openedOk_ = true;
    bool failed_ = false;
    bool refused_ = false;
    std::thread worker_;
};

}  // namespace ks

#include "app/ProcessMemory.h"

#include <malloc.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string.h>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace ks {

namespace {

// The requests that reach every block size the per-thread cache of glibc's heap holds (blocks
// of 32 to 1040 bytes in steps of 16, headers included), and how many of each it keeps.
constexpr std::size_t kCachedBlockStep = 16;
constexpr std::size_t kLargestCachedBlock = 1024;
constexpr int kCachedPerSize = 7;
// The smallest request: it is served by the heap's smallest block (32 bytes), which every free
// block can give.
constexpr std::size_t kSmallestRequest = 24;
// The heap's header in front of every block, and the smallest block it splits off.
constexpr std::size_t kBlockHeader = 2 * sizeof(std::size_t);
constexpr std::size_t kSmallestBlock = 4 * sizeof(std::size_t);
// Wiped in pieces of this size, each only when it holds anything but zeros: a piece of a page
// the heap gave back to the system reads as zeros (and is not made resident again by a write).
constexpr std::size_t kPiece = 4096;

// The freed blocks that the calling thread's cache keeps for quick reuse (which it takes
// first): taking every one of each size, wiping it and giving it back leaves the cache full of
// wiped blocks.
void wipeThreadCache() {
    std::array<void*, kCachedPerSize> taken{};
    for (std::size_t size = kCachedBlockStep; size <= kLargestCachedBlock;
         size += kCachedBlockStep) {
        for (void*& block : taken) {
            block = std::malloc(size);
            if (block != nullptr) {
                explicit_bzero(block, malloc_usable_size(block));
            }
        }
        for (void* block : taken) {
            std::free(block);
        }
    }
}

bool allZero(const unsigned char* bytes, std::size_t size) {
    return size == 0 || (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, size - 1) == 0);
}

// Wipes a block of the heap, piece by piece, leaving pieces that are zeros already untouched.
void wipeBlock(void* block) {
    auto* bytes = static_cast<unsigned char*>(block);
    const std::size_t size = malloc_usable_size(block);
    for (std::size_t done = 0; done < size;) {
        const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(bytes + done);
        const std::size_t piece = std::min(size - done, kPiece - at % kPiece);
        if (!allZero(bytes + done, piece)) {
            explicit_bzero(bytes + done, piece);
        }
        done += piece;
    }
}

// The blocks taken out of the heap while it is swept, chained through their own first bytes.
struct Taken {
    Taken* next = nullptr;
};

// Where the main heap's free blocks lie: below its top (the untouched rest at its end, which
// ends at the program break and whose size the heap reports as what it could give back).
struct HeapBounds {
    const char* start = nullptr;
    const char* top = nullptr;
    std::size_t freeBelowTop = 0;

    static HeapBounds now() {
        const struct mallinfo2 info = mallinfo2();
        const char* end = static_cast<const char*>(sbrk(0));
        return {end - info.arena, end - info.keepcost, info.fordblks - info.keepcost};
    }
    // Whether `block` was one of the free blocks, not carved from the top nor mapped apart.
    bool holdsFree(const void* block) const {
        const auto* at = static_cast<const char*>(block);
        return at >= start && at < top;
    }
};

// Takes every free block out of the heap and wipes it: requests of falling sizes, each repeated
// while the heap serves it from its free blocks (a block larger than the request is split, and
// its rest is taken by the next requests). Once the smallest request is served from the top,
// nothing free is left below it.
Taken* takeFreeBlocks(const HeapBounds& bounds) {
    Taken* taken = nullptr;
    std::size_t request = std::max(bounds.freeBelowTop, kSmallestRequest);
    for (;;) {
        void* block = std::malloc(request);
        if (block == nullptr || !bounds.holdsFree(block)) {
            std::free(block);
            if (request == kSmallestRequest) {
                return taken;
            }
            request = std::max(request / 2, kSmallestRequest);
            continue;
        }
        wipeBlock(block);
        taken = new (block) Taken{taken};
    }
}

// Takes the top's bytes as a block and wipes them, down to the least the top keeps (its smallest
// block: its own header and 16 bytes).
Taken* takeTop(Taken* taken) {
    for (;;) {
        const std::size_t top = mallinfo2().keepcost;
        if (top < 2 * kSmallestBlock) {
            return taken;
        }
        void* block = std::malloc(top - kSmallestBlock - kBlockHeader);
        if (block == nullptr) {
            return taken;
        }
        wipeBlock(block);
        taken = new (block) Taken{taken};
    }
}

}  // namespace

void guardProcessMemory() {
    const char* dumps = std::getenv(kCoreDumpsVariable);
    if (dumps == nullptr || std::strcmp(dumps, "1") != 0) {
        const rlimit none{0, 0};
        setrlimit(RLIMIT_CORE, &none);
        prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    }
    // Every thread takes its blocks from the one heap of the main thread, so that a sweep there
    // reaches every block freed in the process.
    mallopt(M_ARENA_MAX, 1);
}

bool coreDumpsOff() {
    rlimit limit{};
    return getrlimit(RLIMIT_CORE, &limit) == 0 && limit.rlim_cur == 0 && limit.rlim_max == 0 &&
           prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
}

void scrubFreedMemory() {
    wipeThreadCache();
    Taken* taken = takeTop(takeFreeBlocks(HeapBounds::now()));
    while (taken != nullptr) {
        Taken* next = taken->next;
        std::free(taken);
        taken = next;
    }
    // The wiped blocks join again; whole free pages go back to the system.
    malloc_trim(0);
}

}  // namespace ks

#include "app/ProcessMemory.h"

#include <malloc.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string.h>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ks {

namespace {

// What freed memory is filled with (and new blocks with its complement).
constexpr int kFreedFill = 0xa5;
// Overwriting costs little when a freed block is reused while it is still in the cache; it is
// the heap's default of giving large blocks back to the system and mapping fresh pages for the
// next one that makes a large value's every open pay for new pages twice (filled on taking, then
// written). So blocks of up to 32 MiB (the most glibc allows) come from the heap rather than
// from pages of their own, and up to 16 MiB free at the heap's top stay for reuse. Larger blocks
// are unmapped when freed, which leaves nothing behind either; the end of a session gives every
// whole free page back.
constexpr int kLargestHeapBlock = 32 * 1024 * 1024;
constexpr int kFreeTopKept = 16 * 1024 * 1024;
// The requests that reach every block size the per-thread cache of glibc's heap holds (blocks
// of 32 to 1040 bytes in steps of 16, headers included), and how many of each it keeps.
constexpr std::size_t kCachedBlockStep = 16;
constexpr std::size_t kLargestCachedBlock = 1024;
constexpr int kCachedPerSize = 7;
// The heap's settings that are read when a process starts, and the one that empties the
// per-thread cache.
constexpr char kTunablesVariable[] = "GLIBC_TUNABLES";
constexpr char kNoHeapCache[] = "glibc.malloc.tcache_count=0";

void restartWithoutHeapCache(char** argv) {
    if (argv == nullptr || heapCacheOff()) {
        return;
    }
    const char* tunables = std::getenv(kTunablesVariable);
    std::string value = kNoHeapCache;
    if (tunables != nullptr && *tunables != '\0') {
        value = std::string(tunables) + ':' + value;
    }
    if (setenv(kTunablesVariable, value.c_str(), 1) == 0) {
        execv("/proc/self/exe", argv);
    }
    // Not started again: the cache stays, and the end of a session wipes what it holds.
}

}  // namespace

void guardProcessMemory(char** argv) {
    restartWithoutHeapCache(argv);
    const char* dumps = std::getenv(kCoreDumpsVariable);
    if (dumps == nullptr || std::strcmp(dumps, "1") != 0) {
        const rlimit none{0, 0};
        setrlimit(RLIMIT_CORE, &none);
        prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    }
    mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
    mallopt(M_TRIM_THRESHOLD, kFreeTopKept);
    mallopt(M_PERTURB, kFreedFill);
}

bool heapCacheOff() {
    const char* tunables = std::getenv(kTunablesVariable);
    return tunables != nullptr && std::strstr(tunables, kNoHeapCache) != nullptr;
}

bool coreDumpsOff() {
    rlimit limit{};
    return getrlimit(RLIMIT_CORE, &limit) == 0 && limit.rlim_cur == 0 && limit.rlim_max == 0 &&
           prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
}

void scrubFreedMemory() {
    // The per-thread cache hands its blocks out first: taking every one of each size, wiping it
    // and giving it back leaves the cache full of wiped blocks.
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
    malloc_trim(0);
}

}  // namespace ks

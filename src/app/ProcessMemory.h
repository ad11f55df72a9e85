#pragma once

namespace ks {

// The variable that keeps core dumps on, for debugging: "1" keeps them.
inline constexpr char kCoreDumpsVariable[] = "KEYSTEAD_CORE_DUMPS";

// Called first thing by the window program: core dumps are switched off (no core file, and the
// process is not dumpable, so other processes of the user cannot read its memory either) unless
// the variable above asks for them; and every thread takes its blocks from the main thread's
// heap, so that the sweep below reaches every freed block of the process.
void guardProcessMemory();

// Whether core dumps are off for this process (the core size limit is 0 and it is not
// dumpable).
bool coreDumpsOff();

// After a session's values are dropped: every free block of the heap is overwritten (the blocks
// the calling thread keeps for quick reuse, those the heap keeps sorted by size, and the unused
// rest at its end), and whole free pages go back to the system. Threads that handled secrets
// must have ended first: a thread's own freed blocks go back to the heap when it ends.
void scrubFreedMemory();

}  // namespace ks

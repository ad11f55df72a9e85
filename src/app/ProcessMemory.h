#pragma once

namespace ks {

// The variable that keeps core dumps on, for debugging: "1" keeps them.
inline constexpr char kCoreDumpsVariable[] = "KEYSTEAD_CORE_DUMPS";

// Called first thing by the window program: core dumps are switched off (no core file, and the
// process is not dumpable, so other processes of the user cannot read its memory either) unless
// the variable above asks for them; and the heap overwrites every block it takes back, so that
// a value freed at logout does not linger in freed memory (the heap keeps its pages for reuse,
// which keeps that overwriting cheap for large values).
//
// With the program's arguments, it first makes sure the heap keeps no per-thread cache of freed
// blocks, which it neither overwrites when a block goes there nor when one is handed out again
// (so a value freed in a session could sit on inside a block taken later by something else): the
// switch is read only when a process starts, so the program starts itself again in place with it
// set (going on as it is if that fails).
void guardProcessMemory(char** argv = nullptr);

// Whether this process runs with the heap's per-thread cache off.
bool heapCacheOff();

// Whether core dumps are off for this process (the core size limit is 0 and it is not
// dumpable).
bool coreDumpsOff();

// After a session's values are dropped: the freed blocks that the heap keeps per thread for
// quick reuse (which it does not overwrite) are overwritten too, and whole free pages go back
// to the system.
void scrubFreedMemory();

}  // namespace ks

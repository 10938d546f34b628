// Keeping the game's resident memory to what it uses.
#pragma once

#include <cstddef>

namespace platform {

// Large short-lived blocks (decoded pictures, above all) come straight from the system and go back to
// it when freed, rather than staying in the heap once glibc has raised its threshold for them.
void returnLargeBlocksToSystem();

// A software OpenGL driver (Mesa's llvmpipe) keeps its shader compiler, LLVM, mapped in: some 50 MB of
// code that is touched while the driver starts and compiles shaders, and idle afterwards. Drops those
// clean code pages from the process; should the driver compile again, they come back from the page
// cache. Pages that hold anything of the process's own are never touched. Returns the bytes released.
size_t releaseIdleDriverCode();
// Does that on a thread of its own while a renderer exists, looking once a second whether the resident
// size has grown by a few megabytes since it was last done (the driver has compiled something): reading
// the memory map takes tens of milliseconds, which no frame should wait for. Starting twice is starting
// once; stopping waits for the thread to end.
void startWatchingDriverCode();
void stopWatchingDriverCode();

} // namespace platform

#pragma once
// How the program's memory is handed out. A whole-program operation on a big
// program writes a few hundred megabytes: the new text, the editor's undo
// records, its buffers. Memory that is new to the process costs a page fault
// for every 4 KiB the first time it is written, and those faults can cost
// more than the work itself; memory the program has had before costs none.

#include <cstddef>

namespace lumrik {

// Called once, first thing in main(): freed blocks, however large (the
// editor's text and styles of a big program), stay with the program for the
// next operation instead of going back to the system and being faulted in
// again.
void keepFreedMemory();

// Memory the program is about to fill whole (a file's bytes, a block of a
// few hundred kilobytes or more): its pages are made present in one call
// instead of one fault each as they are first written. Small stretches, and
// systems that cannot do it, are left as they are.
void prepareToFill(void *start, std::size_t size) noexcept;
// The smallest stretch prepareToFill prepares.
constexpr std::size_t kPreparedFrom = std::size_t(256) << 10;

}

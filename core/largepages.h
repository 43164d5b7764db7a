#pragma once
// Large buffers in large pages. A whole-program operation on a big program
// writes a few hundred megabytes of fresh memory (the new text, its undo
// records, the editor's buffers); with the usual 4 KiB pages each page is a
// fault of its own, and those faults can cost more than the work itself. The
// C library gives its large blocks transparent huge pages when it is told so
// at start-up, and most desktop systems give such pages only on request.

namespace lumrik {

// Called first thing in main(): when the system gives huge pages on request
// only and the C library has not been told to ask for them, the program
// starts itself again (the same process, the same arguments) with that
// setting; the programs it starts later get the environment it was started
// with. Returns when nothing was to be done or the new start failed.
void startWithLargePages(char **argv);

// What the system's transparent huge pages setting says: "always",
// "madvise", "never", or "" when it cannot be read. For tests the file read
// can be given.
const char *transparentHugePages(const char *settingsFile = nullptr);

}

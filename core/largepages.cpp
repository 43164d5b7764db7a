#include "core/largepages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace lumrik {

namespace {

constexpr char kTunables[] = "GLIBC_TUNABLES";
constexpr char kHugePages[] = "glibc.malloc.hugetlb=1";
// Set for the second start: "-" when there were no tunables before, else "="
// and the value they had.
constexpr char kStarted[] = "LUMRIK_LARGE_PAGES";

// A build with the address sanitizer has that sanitizer's allocator, which
// does not read the C library's settings: a second start would gain nothing.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kOwnAllocator = true;
#else
constexpr bool kOwnAllocator = false;
#endif
#else
constexpr bool kOwnAllocator = false;
#endif

}

const char *transparentHugePages(const char *settingsFile)
{
    FILE *f = std::fopen(settingsFile ? settingsFile : "/sys/kernel/mm/transparent_hugepage/enabled", "re");
    if (!f)
        return "";
    char line[128] = {};
    const bool read = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    if (!read)
        return "";
    // The chosen setting is the one in brackets: "always [madvise] never".
    for (const char *mode : {"always", "madvise", "never"})
        if (std::strstr(line, (std::string("[") + mode + "]").c_str()))
            return mode;
    return "";
}

void startWithLargePages(char **argv)
{
    if (const char *started = std::getenv(kStarted)) {
        // The second start: the environment as it was for what this program starts.
        if (started[0] == '=')
            setenv(kTunables, started + 1, 1);
        else
            unsetenv(kTunables);
        unsetenv(kStarted);
        return;
    }
    if (kOwnAllocator || std::strcmp(transparentHugePages(), "madvise") != 0)
        return; // always (nothing to ask for), never, or unknown
    const char *old = std::getenv(kTunables);
    if (old && std::strstr(old, "glibc.malloc.hugetlb"))
        return; // the user's own choice
    const std::string before = old ? std::string("=") + old : std::string("-");
    const std::string tunables = old && *old ? std::string(old) + ":" + kHugePages : std::string(kHugePages);
    setenv(kStarted, before.c_str(), 1);
    setenv(kTunables, tunables.c_str(), 1);
    execv("/proc/self/exe", argv);
    // Not started again: on as before.
    if (old)
        setenv(kTunables, old, 1);
    else
        unsetenv(kTunables);
    unsetenv(kStarted);
}

}

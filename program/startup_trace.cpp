#include "startup_trace.h"

#ifdef BRIMLOW_STARTUP_TRACE

#include <windows.h>

#include <cstdio>

namespace brimlow::trace {
namespace {

struct Step {
    const char* name;
    ULONGLONG at;  // in 100 ns units, as FILETIME counts
};

Step steps[32];
int count = 0;

ULONGLONG Ticks(const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

}  // namespace

void Mark(const char* step) noexcept {
    if (count == static_cast<int>(sizeof steps / sizeof steps[0])) return;
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    steps[count++] = Step{step, Ticks(now)};
}

void Write() noexcept {
    // The largest environment value there is, in UTF-8 bytes.
    static char path[32767 * 3] = {};
    const DWORD length = GetEnvironmentVariableA("BRIMLOW_STARTUP_TRACE_FILE", path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    // The clock starts when the process was created, so the first step shows
    // what the loader cost before our code ran.
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
    std::FILE* file = std::fopen(path, "a");
    if (file == nullptr) return;
    for (int i = 0; i < count; ++i) {
        std::fprintf(file, "%s\t%.2f\n", steps[i].name, static_cast<double>(steps[i].at - Ticks(created)) / 1e4);
    }
    std::fclose(file);
}

}  // namespace brimlow::trace

#endif

#pragma once
// What a step repeated many times costs this process: private bytes (memory,
// and the icons and GDI objects Wine keeps in it) and open handles (registry
// keys, files, kernel objects). The program's own owners count only the
// handles they hold; these see a handle nobody owns as well.

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace brimlow::testing {

// Wine 8 leaves PrivateUsage at 0 and reports the private bytes as
// PagefileUsage, the same commit charge on Windows.
inline long long PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return static_cast<long long>(counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage);
}

// The handles this process holds. Windows counts them; Wine 8 here does not:
// GetProcessHandleCount succeeds and says 0 however many handles are open
// (a thousand registry keys left open, or a hundred events: still 0). So
// under Wine they are counted another way. The server gives a new handle the
// lowest free slot of the process's table, so the slot of a handle made and
// closed now rises by one for every handle left open below it: a thousand
// keys left open move it by a thousand.
inline long OpenHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return static_cast<long>(count);
    HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const auto slot = static_cast<long>(reinterpret_cast<std::uintptr_t>(probe) / 4);
    CloseHandle(probe);
    return slot;
}

// What the steps after the first `settle` ones added.
struct Growth {
    long long steps = 0;
    long long privateBytes = 0;
    long handles = 0;
};

// Runs the step count times. The first settle steps fill the caches and
// pools a first use makes; the growth is measured over the rest.
template <typename Step>
Growth MeasureGrowth(long long count, long long settle, Step step) {
    long long bytes = 0;
    long handles = 0;
    for (long long i = 0; i < count; ++i) {
        if (i == settle) {
            bytes = PrivateBytes();
            handles = OpenHandles();
        }
        step(i);
    }
    return Growth{count - settle, PrivateBytes() - bytes, OpenHandles() - handles};
}

// The margins allow for the heap's own growth and the odd handle a first
// use keeps. One icon left undestroyed costs about 9 KB here and one key
// left open one handle, so over a thousand steps a leak of one per step
// stands far above them (9 MB, a thousand handles); over two hundred, still
// clearly (1.8 MB).
inline constexpr long long kPrivateBytesMargin = 1024 * 1024;
inline constexpr long kHandlesMargin = 16;
inline constexpr long long kStepsToShowALeak = 1000;

// Fails when the steps grew either count beyond its margin, or when there
// were too few steps for a leak of one icon or handle per step to show.
inline ::testing::AssertionResult LeaksNothing(const Growth& growth, long long minimumSteps = kStepsToShowALeak) {
    if (growth.steps >= minimumSteps && growth.privateBytes <= kPrivateBytesMargin &&
        growth.handles <= kHandlesMargin) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "over " << growth.steps << " steps (at least " << minimumSteps
                                         << " show a leak), private bytes grew by " << growth.privateBytes
                                         << " (at most " << kPrivateBytesMargin << ") and open handles by "
                                         << growth.handles << " (at most " << kHandlesMargin << ")";
}

}  // namespace brimlow::testing

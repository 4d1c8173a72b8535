// The soak: the real main window, hosted in this process, driven through its
// own handlers many times over. Private bytes must settle and stay settled,
// and every registry key and icon the program opens must be closed again.
// The scale (BRIMLOW_SOAK_SCALE, default 0.01) sets the length: 1 is the
// long soak of scripts/soak.sh (a million ticks, about 28 hours of polling).
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "form1.h"
#include "handles.h"
#include "shortcuts_file.h"
#include "shortcuts_io.h"

namespace {

using brimlow::win::UniqueIcon;
using brimlow::win::UniqueKey;

constexpr long long kMegabyte = 1024 * 1024;

double Scale() {
    const char* text = std::getenv("BRIMLOW_SOAK_SCALE");
    const double scale = text != nullptr ? std::atof(text) : 0.01;
    return scale > 0 ? scale : 0.01;
}

// Private bytes of this process. Wine 8 leaves PrivateUsage at 0 and reports
// the process's private memory as PagefileUsage; Windows fills both alike.
long long PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return static_cast<long long>(counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

class Soak : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
        folder_ = std::string(temp) + "brimlow_soak_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        CreateDirectoryA((folder_ + "\\data").c_str(), nullptr);
        // Ten active rows whose keys nobody presses, each target of another
        // kind, so the icon look-ups take every path through the registry.
        const char* targets[] = {"C:\\windows\\notepad.exe", "C:\\windows\\win.ini", "C:\\windows\\regedit.exe",
                                 "C:\\windows\\system32\\calc.exe", "C:\\windows\\system.ini", "C:\\a.txt",
                                 "C:\\windows\\system32\\cmd.exe", "C:\\missing\\b.bmp", "C:\\b.lnk", "C:\\noext"};
        for (int i = 0; i < brimlow::kRowCount; ++i) {
            rows_[static_cast<std::size_t>(i)] = {"PAUSE", std::string(1, static_cast<char>('A' + i)), targets[i],
                                                  "1 - Normal", brimlow::kActiveOn};
        }
        ASSERT_FALSE(brimlow::win::SaveShortcutsFile(Path(), brimlow::FormatShortcuts(rows_)));
        keysBefore_ = UniqueKey::LiveCount();
        iconsBefore_ = UniqueIcon::LiveCount();
    }
    void TearDown() override {
        DeleteFileA(Path().c_str());
        RemoveDirectoryA((folder_ + "\\data").c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    std::string Path() const { return folder_ + "\\data\\shortcuts.ini"; }

    // Runs the step count times; private bytes are taken once the first
    // settle steps are done and again at the end.
    template <typename Step>
    void Run(const char* what, long long count, long long settle, Step step) {
        long long settled = 0;
        for (long long i = 0; i < count; ++i) {
            step(i);
            if ((i & 1023) == 0) PumpMessages();
            if (i + 1 == settle) settled = PrivateBytes();
        }
        PumpMessages();
        const long long end = PrivateBytes();
        std::printf("soak: %s x%lld: private bytes %lld after %lld, %lld at the end (%+lld)\n", what, count, settled,
                    settle, end, end - settled);
        EXPECT_LE(end - settled, kMegabyte) << what << ": memory grew after it had settled";
        EXPECT_EQ(UniqueKey::LiveCount(), keysBefore_) << what << " left registry keys open";
        EXPECT_EQ(UniqueIcon::LiveCount(), iconsBefore_) << what << " left icons undestroyed";
    }

    static long long Count(double full) { return static_cast<long long>(full * Scale() + 0.5); }
    static long long Settle(long long count) { return count >= 10000 ? 1000 : count / 10; }

    std::string folder_;
    brimlow::ShortcutRows rows_{};
    long keysBefore_ = 0;
    long iconsBefore_ = 0;
};

// A meter that cannot see a leak would pass any soak: 4 MB kept and touched
// must show.
TEST_F(Soak, ThePrivateBytesMeterSeesFourMegabytesKept) {
    const long long before = PrivateBytes();
    std::string kept(4 * kMegabyte, 'x');
    const long long after = PrivateBytes();
    EXPECT_GE(after - before, 3 * kMegabyte) << kept.size();
}

TEST_F(Soak, TicksIconRefreshesAndLoadSaveCyclesLeakNothing) {
    brimlow::Form1 form(GetModuleHandleA(nullptr), folder_);
    ASSERT_FALSE(form.Create());
    ASSERT_FALSE(form.LoadShortcuts(Path()));
    form.ResolveKeyCodes();

    const long long ticks = Count(1'000'000);
    Run("ticks", ticks, std::min(1000LL, ticks / 10), [&](long long) { form.Timer1_Timer(); });

    const long long refreshes = Count(10'000);
    Run("icon refreshes", refreshes, Settle(refreshes),
        [&](long long i) { form.RefreshRowIcon(static_cast<int>(i % brimlow::kRowCount)); });

    const long long cycles = Count(1'000);
    Run("load and save cycles", cycles, Settle(cycles), [&](long long) {
        ASSERT_FALSE(form.LoadShortcuts(Path()));
        form.ResolveKeyCodes();
        ASSERT_FALSE(form.SaveShortcuts(Path()));
    });

    // After all of it the file still holds the rows it started with.
    auto bytes = brimlow::win::ReadShortcutsFile(Path());
    ASSERT_TRUE(std::holds_alternative<std::string>(bytes));
    EXPECT_EQ(std::get<std::string>(bytes), brimlow::FormatShortcuts(rows_));
}

}  // namespace

// The soak: the real main window, hosted in this process, driven through its
// own handlers many times over. Private bytes and open handles must settle
// and stay settled, and every registry key and icon the program's owners open
// must be closed again. The scale (BRIMLOW_SOAK_SCALE, default 0.01) sets the
// length: 1 is the long soak of scripts/soak.sh (a million ticks, about 28
// hours of polling). However short, every run is long enough that a leak of
// one icon or one handle per step shows, as the tests of the meter prove.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "form1.h"
#include "handles.h"
#include "shortcuts_file.h"
#include "shortcuts_io.h"
#include "support/leak_meter.h"
#include "support/messages.h"
#include "support/registry.h"
#include "support/test_files.h"

namespace {

using brimlow::testing::Growth;
using brimlow::testing::kStepsToShowALeak;
using brimlow::testing::LeaksNothing;
using brimlow::testing::MeasureGrowth;
using brimlow::testing::PrivateBytes;
using brimlow::win::UniqueIcon;
using brimlow::win::UniqueKey;

constexpr long long kMegabyte = 1024 * 1024;

// A file type of the soak's own with a DefaultIcon, so one row's icon comes
// through the registry.
constexpr const char* kTypeKey = "Software\\Classes\\.brimlowsoak";
constexpr const char* kClassKey = "Software\\Classes\\Brimlow.SoakTest";

double Scale() {
    const char* text = std::getenv("BRIMLOW_SOAK_SCALE");
    const double scale = text != nullptr ? std::atof(text) : 0.01;
    return scale > 0 ? scale : 0.01;
}

struct Length {
    long long count;
    long long settle;
};

// A run of the full length at this scale, of which the first tenth (at
// most a thousand steps) settles, and never fewer measured steps than show a
// leak of one per step.
Length LengthOf(double full, long long minimumSteps) {
    const auto count = static_cast<long long>(full * Scale() + 0.5);
    const long long settle = std::min(1000LL, std::max(count, minimumSteps) / 10);
    return Length{std::max(count, settle + minimumSteps), settle};
}

class Soak : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char system[MAX_PATH] = {};
        GetSystemDirectoryA(system, MAX_PATH);
        brimlow::testing::WriteStringValue(HKEY_LOCAL_MACHINE, kTypeKey, "", "Brimlow.SoakTest");
        brimlow::testing::WriteStringValue(HKEY_LOCAL_MACHINE, std::string(kClassKey) + "\\DefaultIcon", "",
                                           std::string(system) + "\\shell32.dll,3");
    }
    static void TearDownTestSuite() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTypeKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kClassKey);
    }

    void SetUp() override {
        CreateDirectoryA(folder_.PathOf("data").c_str(), nullptr);
        // Ten active rows whose keys nobody presses, each target of another
        // kind, so the icon look-ups take every path: a program's own icon,
        // a missing program, a type with a DefaultIcon, types without one,
        // no type at all.
        const char* targets[] = {"C:\\windows\\notepad.exe", "C:\\windows\\win.ini", "C:\\windows\\regedit.exe",
                                 "C:\\windows\\system32\\calc.exe", "C:\\a.brimlowsoak", "C:\\a.txt",
                                 "C:\\no such folder\\missing.exe", "C:\\missing\\b.bmp", "C:\\b.lnk",
                                 "C:\\notes\\readme"};
        for (int i = 0; i < brimlow::kRowCount; ++i) {
            rows_[static_cast<std::size_t>(i)] = {"PAUSE", std::string(1, static_cast<char>('A' + i)), targets[i],
                                                  "1 - Normal", brimlow::kActiveOn};
        }
        ASSERT_FALSE(brimlow::win::SaveShortcutsFile(Path(), brimlow::FormatShortcuts(rows_)));
        ASSERT_FALSE(form_.Create());
        keysBefore_ = UniqueKey::LiveCount();
        iconsBefore_ = UniqueIcon::LiveCount();  // the window's own icons live as long as it does
        ASSERT_FALSE(form_.LoadShortcuts(Path()));
        form_.ResolveKeyCodes();
    }
    std::string Path() const { return folder_.PathOf("data\\shortcuts.ini"); }

    // Runs the step over a run of the full length at this scale, pumping the
    // window's messages as its loop would.
    template <typename Step>
    Growth Measure(const char* what, double full, long long minimumSteps, Step step) {
        const Length run = LengthOf(full, minimumSteps);
        const Growth growth = MeasureGrowth(run.count, run.settle, [&](long long i) {
            step(i);
            if ((i & 1023) == 0) brimlow::testing::PumpMessages();
        });
        std::printf("soak: %s x%lld: private bytes %+lld, open handles %+ld after the first %lld\n", what, run.count,
                    growth.privateBytes, growth.handles, run.settle);
        return growth;
    }

    template <typename Step>
    void ExpectNoLeak(const char* what, double full, long long minimumSteps, Step step) {
        EXPECT_TRUE(LeaksNothing(Measure(what, full, minimumSteps, step), minimumSteps)) << what;
        EXPECT_EQ(UniqueKey::LiveCount(), keysBefore_) << what << " left registry keys open";
        EXPECT_EQ(UniqueIcon::LiveCount(), iconsBefore_) << what << " left icons undestroyed";
    }

    void RefreshIcon(long long i) { form_.RefreshRowIcon(static_cast<int>(i % brimlow::kRowCount)); }

    brimlow::testing::TempFolder folder_{"soak"};
    brimlow::ShortcutRows rows_{};
    long keysBefore_ = 0;
    long iconsBefore_ = 0;
    brimlow::Form1 form_{GetModuleHandleA(nullptr), folder_.Path()};
};

// A meter that cannot see a leak would pass any soak: 4 MB kept and touched
// must show.
TEST_F(Soak, ThePrivateBytesMeterSeesFourMegabytesKept) {
    const long long before = PrivateBytes();
    std::string kept(4 * kMegabyte, 'x');
    const long long after = PrivateBytes();
    EXPECT_GE(after - before, 3 * kMegabyte) << kept.size();
}

// The icon refreshes below, each leaking what a careless refresh would: the
// same check must fail.
TEST_F(Soak, TheMeterSeesOneIconLeftPerRefresh) {
    char shell32[MAX_PATH] = {};
    GetSystemDirectoryA(shell32, MAX_PATH);
    std::strcat(shell32, "\\shell32.dll");
    std::vector<HICON> left;
    const Growth growth = Measure("icon refreshes leaving an icon each", 10'000, kStepsToShowALeak, [&](long long i) {
        RefreshIcon(i);
        left.push_back(ExtractIconA(GetModuleHandleA(nullptr), shell32, 3));
    });
    for (HICON icon : left) DestroyIcon(icon);
    EXPECT_FALSE(LeaksNothing(growth));
}

TEST_F(Soak, TheMeterSeesOneRegistryKeyLeftOpenPerRefresh) {
    std::vector<HKEY> left;
    const Growth growth = Measure("icon refreshes leaving a key open each", 10'000, kStepsToShowALeak, [&](long long i) {
        RefreshIcon(i);
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTypeKey, 0, KEY_READ, &key) == ERROR_SUCCESS) left.push_back(key);
    });
    for (HKEY key : left) RegCloseKey(key);
    EXPECT_FALSE(LeaksNothing(growth));
}

TEST_F(Soak, TicksLeakNothing) {
    ExpectNoLeak("ticks", 1'000'000, kStepsToShowALeak, [&](long long) { form_.Timer1_Timer(); });
}

TEST_F(Soak, IconRefreshesLeakNeitherHandlesNorMemory) {
    ASSERT_GT(PrivateBytes(), 0) << "the meter reads nothing";
    ExpectNoLeak("icon refreshes", 10'000, kStepsToShowALeak, [&](long long i) { RefreshIcon(i); });
}

// A cycle flushes the file to disk, so the short run makes two hundred: an
// icon left per cycle still shows (each cycle also redraws all ten).
TEST_F(Soak, LoadAndSaveCyclesLeakNothingAndKeepTheRows) {
    ExpectNoLeak("load and save cycles", 1'000, 200, [&](long long) {
        ASSERT_FALSE(form_.LoadShortcuts(Path()));
        form_.ResolveKeyCodes();
        ASSERT_FALSE(form_.SaveShortcuts(Path()));
    });
    auto bytes = brimlow::win::ReadShortcutsFile(Path());
    ASSERT_TRUE(std::holds_alternative<std::string>(bytes));
    EXPECT_EQ(std::get<std::string>(bytes), brimlow::FormatShortcuts(rows_));
}

}  // namespace

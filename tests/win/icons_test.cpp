// The icon lookup over the real registry, ExtractIconA and a real icon box.
// Test file types are registered where HKEY_CLASSES_ROOT shows them (see
// ClassesRoot).
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "gui.h"
#include "handles.h"
#include "icon_box.h"
#include "icons.h"
#include "support/leak_meter.h"
#include "support/registry.h"

namespace brimlow {
// Lets a failed comparison print the file and index.
void PrintTo(const IconSource& source, std::ostream* out) { *out << source.file << "," << source.index; }
}  // namespace brimlow

namespace {

using brimlow::DrawTargetIcon;
using brimlow::IconAttempt;
using brimlow::IconSource;
using brimlow::win::IconBox;
using brimlow::win::RefreshRowIcon;
using brimlow::win::UniqueIcon;
using brimlow::win::UniqueKey;
using brimlow::win::Win32IconPlatform;

constexpr const char* kClasses = "Software\\Classes\\";

// Where a test file type must be written to show up under
// HKEY_CLASSES_ROOT. Windows merges the user's classes in; Wine 8 shows only
// the machine's, which a test may write to in its own prefix.
HKEY ClassesRoot() {
    static const HKEY root = [] {
        const std::string probe = ".brimlowprobe";
        HKEY created = nullptr;
        if (RegCreateKeyA(HKEY_CURRENT_USER, (kClasses + probe).c_str(), &created) != ERROR_SUCCESS) {
            return HKEY_LOCAL_MACHINE;
        }
        RegCloseKey(created);
        HKEY seen = nullptr;
        const bool merged = RegOpenKeyA(HKEY_CLASSES_ROOT, probe.c_str(), &seen) == ERROR_SUCCESS;
        if (merged) RegCloseKey(seen);
        RegDeleteTreeA(HKEY_CURRENT_USER, (kClasses + probe).c_str());
        return merged ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    }();
    return root;
}

std::string SystemFolder() {
    char buffer[MAX_PATH];
    const UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
    return std::string(buffer, length);
}

std::string Stock() { return SystemFolder() + "\\SHELL32.DLL"; }
std::string Shell32() { return SystemFolder() + "\\shell32.dll"; }
std::string Notepad() { return SystemFolder() + "\\notepad.exe"; }

void SetDefault(const std::string& key, const std::string& value) {
    ASSERT_TRUE(brimlow::testing::WriteStringValue(ClassesRoot(), kClasses + key, "", value)) << key;
}

std::string Describe(const std::vector<IconAttempt>& attempts) {
    std::string text;
    for (const auto& a : attempts) {
        text += "[" + a.source.file + "," + std::to_string(a.source.index) + (a.drawn ? " drawn] " : " none] ");
    }
    return text;
}

class IconsTest : public ::testing::Test {
protected:
    void SetUp() override {
        instance_ = GetModuleHandleA(nullptr);
        screen_ = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen_);
        bitmap_ = CreateCompatibleBitmap(screen_, 32, 32);
        original_ = SelectObject(dc_, bitmap_);
        RemoveTypes();
    }
    void TearDown() override {
        RemoveTypes();
        SelectObject(dc_, original_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
        ReleaseDC(nullptr, screen_);
    }

    // A file type ".brimlowtest<n>" of class "Brimlow.Test<n>" with the given
    // DefaultIcon value.
    static std::string Type(int n) { return ".brimlowtest" + std::to_string(n); }
    static std::string Class(int n) { return "Brimlow.Test" + std::to_string(n); }
    void Register(int n, const std::string& defaultIcon) {
        SetDefault(Type(n), Class(n));
        SetDefault(Class(n) + "\\DefaultIcon", defaultIcon);
    }
    static void RemoveTypes() {
        for (int n = 1; n <= kTypes; ++n) {
            RegDeleteTreeA(ClassesRoot(), (kClasses + Type(n)).c_str());
            RegDeleteTreeA(ClassesRoot(), (kClasses + Class(n)).c_str());
        }
    }

    std::vector<IconAttempt> Lookup(const std::string& path) {
        Win32IconPlatform platform(instance_, dc_);
        return DrawTargetIcon(path, platform);
    }
    // The lookup tried `first`, found no icon there, and drew stock icon 0.
    void ExpectStockZeroAfter(const std::string& path, const IconSource& first) {
        const auto attempts = Lookup(path);
        ASSERT_EQ(attempts.size(), 2u) << path << ": " << Describe(attempts);
        EXPECT_EQ(attempts[0].source, first) << Describe(attempts);
        EXPECT_FALSE(attempts[0].drawn);
        EXPECT_EQ(attempts[1].source, (IconSource{Stock(), 0}));
        EXPECT_TRUE(attempts[1].drawn);
    }
    void ExpectOnly(const std::string& path, const IconSource& source, bool drawn) {
        const auto attempts = Lookup(path);
        ASSERT_EQ(attempts.size(), 1u) << path << ": " << Describe(attempts);
        EXPECT_EQ(attempts[0].source, source) << path;
        EXPECT_EQ(attempts[0].drawn, drawn) << path;
    }

    static constexpr int kTypes = 12;
    HINSTANCE instance_ = nullptr;
    HDC screen_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ original_ = nullptr;
};

TEST_F(IconsTest, ProgramsSpelledExeShowTheirOwnIconOnly) {
    ExpectOnly(Notepad(), {Notepad(), 0}, true);
    ExpectOnly("C:\\no such folder\\missing.exe", {"C:\\no such folder\\missing.exe", 0}, false);
}

TEST_F(IconsTest, ProgramsSpelledOtherwiseShowStockIconTwo) {
    // HKEY_CLASSES_ROOT\.exe is registered, but is never consulted for these.
    ExpectOnly(SystemFolder() + "\\NOTEPAD.EXE", {Stock(), 2}, true);
    ExpectOnly(SystemFolder() + "\\notepad.Exe", {Stock(), 2}, true);
}

TEST_F(IconsTest, DefaultIconValueGivesTheIconFileAndIndex) {
    Register(1, " " + Shell32() + ", 3 ");
    Register(2, "C:\\x\\lib.dll, 3 ");
    Register(3, "C:\\x\\lib.dll,-12");
    ExpectOnly("C:\\docs\\a" + Type(1), {Shell32(), 3}, true);
    ExpectStockZeroAfter("C:\\docs\\a" + Type(2), {"C:\\x\\lib.dll", 3});
    ExpectStockZeroAfter("C:\\docs\\a" + Type(3), {"C:\\x\\lib.dll", -12});
}

TEST_F(IconsTest, UnusableDefaultIconValuesFallBackToStockIconZero) {
    Register(1, "%1");
    Register(2, "C:\\a,b\\pic.ico");
    Register(3, "%SystemRoot%\\system32\\shell32.dll,3");
    Register(4, "\"" + Shell32() + "\",3");
    // -1 would make ExtractIconA count the icons instead of extracting one.
    Register(5, Shell32() + ",-1");
    ExpectOnly("C:\\a" + Type(1), {Stock(), 0}, true);
    ExpectOnly("C:\\a" + Type(2), {Stock(), 0}, true);
    ExpectStockZeroAfter("C:\\a" + Type(3), {"%SystemRoot%\\system32\\shell32.dll", 3});
    ExpectStockZeroAfter("C:\\a" + Type(4), {"\"" + Shell32() + "\"", 3});
    ExpectStockZeroAfter("C:\\a" + Type(5), {Shell32(), -1});
}

TEST_F(IconsTest, PathsWithoutAFileTypeShowStockIconZero) {
    ExpectOnly("C:\\notes\\readme", {Stock(), 0}, true);
    ExpectOnly("C:\\my.dir\\readme", {Stock(), 0}, true);
    ExpectOnly("C:\\a.brimlownotregistered", {Stock(), 0}, true);
    SetDefault(Type(6), Class(6));  // a class without a DefaultIcon key
    ExpectOnly("C:\\a" + Type(6), {Stock(), 0}, true);
    EXPECT_TRUE(Lookup("").empty());
}

TEST_F(IconsTest, RegistryValuesLongerThan259CharactersAreNotRead) {
    const std::string value = Shell32() + ",3";
    Register(7, std::string(259 - value.size(), ' ') + value);
    Register(8, std::string(260 - value.size(), ' ') + value);
    ExpectOnly("C:\\a" + Type(7), {Shell32(), 3}, true);
    ExpectOnly("C:\\a" + Type(8), {Stock(), 0}, true);
}

// Counted by the program's owners, then, once a first use has filled the
// system's caches, by the process's open handles, which see a key nobody
// owns as well. Many refreshes in a row are the soak's (tests/soak).
TEST_F(IconsTest, EveryKeyIsClosedAndEveryIconDestroyed) {
    Register(9, Shell32() + ",3");
    const std::vector<std::string> paths{Notepad(), "C:\\a" + Type(9), "C:\\a.brimlownotregistered"};
    const long keys = UniqueKey::LiveCount();
    const long icons = UniqueIcon::LiveCount();
    for (const std::string& path : paths) {
        Lookup(path);
        EXPECT_EQ(UniqueKey::LiveCount(), keys) << path;
        EXPECT_EQ(UniqueIcon::LiveCount(), icons) << path;
    }
    const long handles = brimlow::testing::OpenHandles();
    for (const std::string& path : paths) {
        Lookup(path);
        EXPECT_EQ(brimlow::testing::OpenHandles(), handles) << path;
    }
}

// A real icon box in a hidden top-level window.
class IconBoxTest : public IconsTest {
protected:
    void SetUp() override {
        IconsTest::SetUp();
        ASSERT_TRUE(IconBox::RegisterClass(instance_));
        parent_ = CreateWindowExA(0, "STATIC", "icons", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                                  instance_, nullptr);
        ASSERT_NE(parent_, nullptr);
        ASSERT_NE(box_.Create(parent_, 100, RECT{0, 0, 32, 32}, instance_), nullptr);
        empty_ = Pixels();
    }
    void TearDown() override {
        if (parent_ != nullptr) DestroyWindow(parent_);
        IconsTest::TearDown();
    }
    std::vector<COLORREF> Pixels() const {
        std::vector<COLORREF> pixels;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) pixels.push_back(GetPixel(box_.Dc(), x, y));
        }
        return pixels;
    }
    bool Drawn() const { return Pixels() != empty_; }

    HWND parent_ = nullptr;
    IconBox box_;
    std::vector<COLORREF> empty_;
};

TEST_F(IconBoxTest, RefreshDrawsTheIconAndEveryRefreshClearsThePreviousOne) {
    RefreshRowIcon(instance_, Notepad(), box_);
    EXPECT_TRUE(Drawn());
    RefreshRowIcon(instance_, "", box_);
    EXPECT_FALSE(Drawn());

    RefreshRowIcon(instance_, "C:\\notes\\readme", box_);
    EXPECT_TRUE(Drawn());
    RefreshRowIcon(instance_, "C:\\no such folder\\missing.exe", box_);
    EXPECT_FALSE(Drawn());
}

// A shared load would hand back the first size loaded, stretched.
TEST(ProgramIcon, ComesAtEachSizeAskedWhateverSizeWasLoadedBefore) {
    for (int size : {48, 20, 24, 16, 20}) EXPECT_EQ(brimlow::win::IconSize(brimlow::win::ProgramIcon(size).Get()).cx, size);
}

}  // namespace

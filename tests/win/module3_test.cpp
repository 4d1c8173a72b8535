// The registry routines and the start-at-logon registration against Wine's
// real registry. Each test works under a key of its own below
// HKEY_CURRENT_USER\Software, deleted afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include "../reg_value_printer.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "handles.h"
#include "module3.h"
#include "paths.h"
#include "start_at_logon.h"
#include "support/leak_meter.h"
#include "support/test_files.h"

namespace {

using namespace std::string_literals;
using brimlow::RegValue;
using brimlow::Module3::CreateRegKey;
using brimlow::Module3::OnlyAdministratorsCanChange;
using brimlow::Module3::ReadRegValue;
using brimlow::Module3::RegisterStartAtLogon;
using brimlow::Module3::RegKeyExists;
using brimlow::Module3::RunEntry;
using brimlow::Module3::WriteRegValue;
using brimlow::win::UniqueKey;

struct RawValue {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::string bytes;
};

class Module3Registry : public ::testing::Test {
protected:
    // Handles made once and kept, at a first use, are not the routines'
    // leaks: the system's own handle of a root key, and the thread GoogleTest
    // starts to watch the thread of its first SCOPED_TRACE.
    static void SetUpTestSuite() {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(root, "Software", 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
        }
        SCOPED_TRACE("a first use");
    }
    void SetUp() override {
        static int counter = 0;
        base_ = "Software\\BrimlowTest" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
        liveKeysBefore_ = UniqueKey::LiveCount();
        handlesBefore_ = brimlow::testing::OpenHandles();
    }
    void TearDown() override {
        // Every key the routines opened is closed again, whether an owner
        // held it or not.
        EXPECT_EQ(UniqueKey::LiveCount(), liveKeysBefore_);
        EXPECT_EQ(brimlow::testing::OpenHandles(), handlesBefore_);
        RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str());
    }

    // Stores bytes exactly as given, bypassing the routines under test.
    void SetRaw(const std::string& name, DWORD type, const std::string& bytes, const std::string& sub = "") {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Path(sub).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        // The registry adds a NUL to a text when the byte after the given
        // length is one; a byte that is not keeps the text exactly as given.
        const std::string buffer = bytes + "\xAA\xAA";
        EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(buffer.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // The stored type and bytes as the ANSI functions give them.
    RawValue GetRaw(const std::string& name, const std::string& sub = "") {
        RawValue raw;
        HKEY key = nullptr;
        raw.status = RegOpenKeyExA(HKEY_CURRENT_USER, Path(sub).c_str(), 0, KEY_READ, &key);
        if (raw.status != ERROR_SUCCESS) return raw;
        DWORD size = 0;
        RegQueryValueExA(key, name.c_str(), nullptr, &raw.type, nullptr, &size);
        raw.bytes.assign(size, '\xCC');
        raw.status = RegQueryValueExA(key, name.c_str(), nullptr, &raw.type, reinterpret_cast<BYTE*>(raw.bytes.data()),
                                      &size);
        raw.bytes.resize(size);
        RegCloseKey(key);
        return raw;
    }

    std::string Path(const std::string& sub = "") const { return sub.empty() ? base_ : base_ + "\\" + sub; }

    std::string base_;
    long liveKeysBefore_ = 0;
    long handlesBefore_ = 0;
};

std::int32_t AsInt32(const std::string& bytes) {
    std::int32_t number = 0;
    EXPECT_EQ(bytes.size(), sizeof number);
    if (bytes.size() == sizeof number) memcpy(&number, bytes.data(), sizeof number);
    return number;
}

// ---- Reading ----

TEST_F(Module3Registry, ReadRegValue_GivesTextUpToTheFirstNulOrAllOfItWithoutOne) {
    SetRaw("terminated", REG_SZ, "C:\\Tools\\Program.exe\0"s);
    SetRaw("embedded", REG_SZ, "before\0after\0"s);
    SetRaw("unterminated", REG_SZ, "no nul here"s);
    SetRaw("spaces", REG_SZ, "  kept  \0"s);
    ASSERT_EQ(GetRaw("unterminated").bytes, "no nul here");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path(), "terminated"), "C:\\Tools\\Program.exe");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path(), "embedded"), "before");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path(), "unterminated"), "no nul here");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path(), "spaces"), "  kept  ");
}

TEST_F(Module3Registry, ReadRegValue_GivesTheSameEmptyTextForEmptyAndMissingValues) {
    SetRaw("empty", REG_SZ, "\0"s);
    SetRaw("noBytes", REG_SZ, ""s);
    for (const char* name : {"empty", "noBytes", "missing"}) {
        const RegValue value = ReadRegValue(HKEY_CURRENT_USER, Path(), name);
        EXPECT_EQ(value, RegValue()) << name;
    }
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path("no such key"), "empty"), RegValue());
}

TEST_F(Module3Registry, ReadRegValue_GivesEmptyTextForTypesItDoesNotHandle) {
    SetRaw("expand", REG_EXPAND_SZ, "%SystemRoot%\\x.exe\0"s);
    SetRaw("multi", REG_MULTI_SZ, "one\0two\0\0"s);
    SetRaw("binary", REG_BINARY, "\x01\x02\x03\x04"s);
    SetRaw("qword", REG_QWORD, "\x07\0\0\0\0\0\0\0"s);
    SetRaw("none", REG_NONE, "text\0"s);
    for (const char* name : {"expand", "multi", "binary", "qword", "none"}) {
        const RegValue value = ReadRegValue(HKEY_CURRENT_USER, Path(), name);
        EXPECT_EQ(value, RegValue()) << name;
        EXPECT_EQ(GetRaw(name).status, ERROR_SUCCESS) << name << " exists";
    }
}

TEST_F(Module3Registry, ReadRegValue_GivesADwordAsANumberNotAsText) {
    SetRaw("number", REG_DWORD, "\x7B\0\0\0"s);
    SetRaw("negative", REG_DWORD, "\xFB\xFF\xFF\xFF"s);
    const RegValue number = ReadRegValue(HKEY_CURRENT_USER, Path(), "number");
    EXPECT_EQ(number, RegValue(std::int32_t{123}));
    EXPECT_NE(number, "123");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path(), "negative"), RegValue(std::int32_t{-5}));
}

TEST_F(Module3Registry, ReadRegValue_HandlesTextsOfThirtyTwoThousandCharacters) {
    const std::string longest(32766, 'x');
    SetRaw("long", REG_SZ, longest + '\0');
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path(), "long"), longest);
}

TEST_F(Module3Registry, ReadRegValue_WithAnEmptyPathReadsTheRootAndLeavesItOpen) {
    SetRaw("name", REG_SZ, "value\0"s);
    HKEY mine = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Path().c_str(), 0, KEY_ALL_ACCESS, &mine), ERROR_SUCCESS);
    EXPECT_EQ(ReadRegValue(mine, "", "name"), "value");
    WriteRegValue(mine, "", "written", "text");
    EXPECT_TRUE(RegKeyExists(mine, ""));
    // The handle is the caller's: it still works.
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(mine, "written", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(mine), ERROR_SUCCESS);
}

// ---- Writing ----

TEST_F(Module3Registry, WriteRegValue_StoresTextWithoutSurroundingSpacesAndWithOneNul) {
    WriteRegValue(HKEY_CURRENT_USER, Path(), "text", " text ");
    const RawValue raw = GetRaw("text");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.bytes, "text\0"s);
    EXPECT_EQ(raw.bytes.size(), 5u);
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path(), "text"), "text");

    WriteRegValue(HKEY_CURRENT_USER, Path(), "notANumber", "12a");
    EXPECT_EQ(GetRaw("notANumber").type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(GetRaw("notANumber").bytes, "12a\0"s);

    WriteRegValue(HKEY_CURRENT_USER, Path(), "blank", "   ");
    EXPECT_EQ(GetRaw("blank").type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(GetRaw("blank").bytes, "\0"s);
}

TEST_F(Module3Registry, WriteRegValue_StoresNumbersAndNumericTextAsDwordsRoundedHalfToEven) {
    // The rounding itself is covered by the core's tests; these show each
    // kind of value reaches the registry as a DWORD.
    WriteRegValue(HKEY_CURRENT_USER, Path(), "digits", "123");
    WriteRegValue(HKEY_CURRENT_USER, Path(), "padded", " 123 ");
    WriteRegValue(HKEY_CURRENT_USER, Path(), "twoAndAHalf", 2.5);
    WriteRegValue(HKEY_CURRENT_USER, Path(), "threeAndAHalf", 3.5);
    WriteRegValue(HKEY_CURRENT_USER, Path(), "negative", -7);
    const std::pair<const char*, std::int32_t> expected[] = {
        {"digits", 123}, {"padded", 123}, {"twoAndAHalf", 2}, {"threeAndAHalf", 4}, {"negative", -7}};
    for (const auto& [name, number] : expected) {
        const RawValue raw = GetRaw(name);
        EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD)) << name;
        EXPECT_EQ(AsInt32(raw.bytes), number) << name;
        EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path(), name), RegValue(number)) << name;
    }
}

TEST_F(Module3Registry, WriteRegValue_WritesNothingForANumberBeyondThirtyTwoBits) {
    WriteRegValue(HKEY_CURRENT_USER, Path(), "tooLarge", 3e9);
    WriteRegValue(HKEY_CURRENT_USER, Path(), "tooLargeText", "4294967296");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, Path()));

    SetRaw("kept", REG_DWORD, "\x01\0\0\0"s);
    WriteRegValue(HKEY_CURRENT_USER, Path(), "kept", -3e9);
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path(), "kept"), RegValue(std::int32_t{1}));
}

TEST_F(Module3Registry, WriteRegValue_CreatesMissingKeysAlongThePath) {
    WriteRegValue(HKEY_CURRENT_USER, Path("a\\b\\c"), "name", "deep");
    EXPECT_EQ(GetRaw("name", "a\\b\\c").bytes, "deep\0"s);
}

TEST_F(Module3Registry, WriteRegValue_StoresTheWholeAnsiFormOfAText) {
    // This test runs a second time with the Japanese code page 932 (see the
    // test list), where each of the three characters below is two bytes.
    // Otherwise it stores high bytes of the code page the process has.
    CPINFO info{};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    const char* expectDoubleByte = std::getenv("BRIMLOW_EXPECT_DBCS");
    if (expectDoubleByte != nullptr && *expectDoubleByte == '1') {
        ASSERT_EQ(info.MaxCharSize, 2u) << "code page " << GetACP();
    }
    RecordProperty("AnsiCodePage", static_cast<int>(GetACP()));
    const std::string path = info.MaxCharSize == 2 ? "C:\\\x83\x65\x83\x58\x83\x67 \x83\x65\\Program.exe"
                                                   : "C:\\Caf\xE9 \xC4\xD6\\Program.exe";

    WriteRegValue(HKEY_CURRENT_USER, Path(), "path", path);

    const RawValue raw = GetRaw("path");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.bytes.size(), path.size() + 1);
    EXPECT_EQ(raw.bytes, path + '\0');
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, Path(), "path"), path);

    // Stored as characters, the whole text is there and nothing after it.
    const int wideLength = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
    ASSERT_GT(wideLength, 0);
    std::wstring expectedWide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, expectedWide.data(), wideLength);
    if (info.MaxCharSize == 2) {
        EXPECT_LT(expectedWide.size(), path.size() + 1);
    }
    std::wstring stored(1024, L'\xFFFF');
    DWORD size = static_cast<DWORD>(stored.size() * sizeof(wchar_t));
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, std::wstring(base_.begin(), base_.end()).c_str(), L"path", RRF_RT_ANY,
                           nullptr, stored.data(), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, expectedWide.size() * sizeof(wchar_t));
    stored.resize(size / sizeof(wchar_t));
    EXPECT_EQ(stored, expectedWide);
}

// ---- Keys ----

TEST_F(Module3Registry, CreateRegKey_CreatesANestedPathThatRegKeyExistsThenFinds) {
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, Path()));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, Path("one\\two")));
    CreateRegKey(HKEY_CURRENT_USER, Path("one\\two"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, Path()));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, Path("one")));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, Path("one\\two")));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, Path("one\\three")));
}

TEST_F(Module3Registry, CreateRegKey_LeavesAnExistingKeyAndItsValuesAlone) {
    SetRaw("name", REG_SZ, "value\0"s);
    CreateRegKey(HKEY_CURRENT_USER, Path());
    EXPECT_EQ(GetRaw("name").bytes, "value\0"s);
}

TEST_F(Module3Registry, EveryRoutineGivesANeutralResultForAnUnusableRoot) {
    const HKEY bogus = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x12345678));
    EXPECT_EQ(ReadRegValue(bogus, "Software", "name"), RegValue());
    EXPECT_FALSE(RegKeyExists(bogus, "Software"));
    WriteRegValue(bogus, "Software", "name", "text");
    WriteRegValue(bogus, "Software", "name", 1.0);
    CreateRegKey(bogus, "Software");
    EXPECT_FALSE(RegKeyExists(nullptr, "Software"));
}

// ---- Start at logon ----

class StartAtLogon : public Module3Registry {
protected:
    static bool Protected(const std::string&) { return true; }
    RunEntry Entry(bool (*judge)(const std::string&) = &Protected) {
        return RunEntry{HKEY_CURRENT_USER, Path("Run"), "Brimlow", judge};
    }
};

TEST_F(StartAtLogon, FirstStartCreatesTheQuotedValueAndALaterStartWritesNothing) {
    RegisterStartAtLogon("C:\\Tools\\Brimlow", Entry());
    const RawValue raw = GetRaw("Brimlow", "Run");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.bytes, "\"C:\\Tools\\Brimlow\\Program.exe\"\0"s);

    // Bytes after the NUL do not show in what is read, so the value still
    // reads equal; any write would drop them. (Wine raises no change
    // notification for a write of identical data, so a watch cannot tell.)
    SetRaw("Brimlow", REG_SZ, "\"C:\\Tools\\Brimlow\\Program.exe\"\0marker"s, "Run");
    RegisterStartAtLogon("C:\\Tools\\Brimlow", Entry());
    EXPECT_EQ(GetRaw("Brimlow", "Run").bytes, "\"C:\\Tools\\Brimlow\\Program.exe\"\0marker"s);
}

// Anything but the exact quoted text is rewritten: the unquoted form earlier
// versions stored, another folder, a difference of letter case, a number or
// another type of value.
TEST_F(StartAtLogon, AnythingButTheExactQuotedPathIsRewritten) {
    const std::string expected = "\"C:\\Program Files\\My Tools\\Program.exe\"\0"s;
    const struct {
        const char* what;
        DWORD type;
        std::string bytes;
    } stored[] = {
        {"unquoted", REG_SZ, "C:\\Program Files\\My Tools\\Program.exe\0"s},
        {"another folder", REG_SZ, "\"D:\\Elsewhere\\Program.exe\"\0"s},
        {"letter case", REG_SZ, "\"c:\\program files\\my tools\\program.exe\"\0"s},
        {"a number", REG_DWORD, "\x01\0\0\0"s},
        {"expandable text", REG_EXPAND_SZ, expected},
    };
    for (const auto& value : stored) {
        SCOPED_TRACE(value.what);
        SetRaw("Brimlow", value.type, value.bytes, "Run");
        RegisterStartAtLogon("C:\\Program Files\\My Tools", Entry());
        const RawValue raw = GetRaw("Brimlow", "Run");
        EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(raw.bytes, expected);
    }
}

TEST_F(StartAtLogon, AnUnknownFolderRegistersNothing) {
    RegisterStartAtLogon("", Entry());
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, Path("Run")));
}

TEST(StartAtLogonMachine, TheMachineRunKeyNamesProgramExeInTheProgramsFolder) {
    // The test prefix is private, so the real machine-wide key can be used.
    // The folder is the one the program itself runs from in these tests, so a
    // main window started meanwhile by another test would write the same.
    // That folder is under Z:\, the Unix root, which Wine reports as a link,
    // so it is taken as protected here; the judgement has tests of its own.
    const std::string folder = brimlow::win::ModuleFolder();
    const std::string runKey = brimlow::Module3::kRunKey;
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, runKey.c_str(), "Brimlow");
    ASSERT_EQ(ReadRegValue(HKEY_LOCAL_MACHINE, runKey, "Brimlow"), RegValue());

    RegisterStartAtLogon(folder, RunEntry{HKEY_LOCAL_MACHINE, runKey, "Brimlow", [](const std::string&) { return true; }});

    const RegValue stored = ReadRegValue(HKEY_LOCAL_MACHINE, runKey, "Brimlow");
    EXPECT_EQ(stored, "\"" + folder + "\\Program.exe\"");
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, runKey.c_str(), 0, KEY_READ, &run), ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    std::string bytes(MAX_PATH * 2, '\0');
    size = static_cast<DWORD>(bytes.size());
    EXPECT_EQ(RegQueryValueExA(run, "Brimlow", nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size),
              ERROR_SUCCESS);
    RegCloseKey(run);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, folder.size() + sizeof "\"\\Program.exe\"");
}

// The real folders' access lists, which Wine makes from the Unix mode: a
// fresh copy (755, files 644) is protected; others' write to any one of the
// five things a start at logon depends on opens it.
TEST(StartAtLogonFolder, IsProtectedUntilOthersMayWriteTheFolderItsDataFolderOrAnyOfItsFiles) {
    for (const char* open : {"none", "", "data", "Program.exe", "Ostrad.dll", "data\\shortcuts.ini"}) {
        SCOPED_TRACE(open);
        brimlow::testing::TempFolder folder("protection");
        CreateDirectoryA(folder.PathOf("data").c_str(), nullptr);
        for (const char* file : {"Program.exe", "Ostrad.dll", "data\\shortcuts.ini"}) {
            ASSERT_TRUE(brimlow::testing::WriteBytes(folder.PathOf(file), "x"));
        }
        if (std::strcmp(open, "none") != 0) {
            ASSERT_TRUE(brimlow::testing::LetEveryoneWrite(*open != '\0' ? folder.PathOf(open) : folder.Path()));
            EXPECT_FALSE(OnlyAdministratorsCanChange(folder.Path()));
            continue;
        }
        const long handles = brimlow::testing::OpenHandles();
        // The fastest run shows the cost without the waits of a busy machine.
        long long fastest = 1 << 30, total = 0;
        for (int i = 0; i < 100; ++i) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_TRUE(OnlyAdministratorsCanChange(folder.Path()));
            const long long spent = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
            fastest = std::min(fastest, spent);
            total += spent;
        }
        std::printf("the protection check: %lld us fastest, %lld us mean of 100 starts\n", fastest, total / 100);
        EXPECT_EQ(brimlow::testing::OpenHandles(), handles);
        // A missing table, then a missing data folder, are judged by the
        // folder that would hold them; a missing program folder is open.
        ASSERT_TRUE(DeleteFileA(folder.PathOf("data\\shortcuts.ini").c_str()));
        ASSERT_TRUE(RemoveDirectoryA(folder.PathOf("data").c_str()));
        EXPECT_TRUE(OnlyAdministratorsCanChange(folder.Path()));
        EXPECT_FALSE(OnlyAdministratorsCanChange(folder.PathOf("gone")));
        // The same folder through a Unix symbolic link, a reparse point to Wine.
        brimlow::testing::TempFolder links("protection links");
        const std::string name = folder.Path().substr(folder.Path().rfind('\\') + 1);
        ASSERT_TRUE(brimlow::testing::MakeLinuxSymlink(links.Path(), "../" + name, "link"));
        EXPECT_FALSE(OnlyAdministratorsCanChange(links.PathOf("link")));
        EXPECT_TRUE(brimlow::testing::RemoveLinuxSymlink(links.Path(), "link"));
    }
}

}  // namespace

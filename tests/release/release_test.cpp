// The release as a Windows user gets it, checked from inside Wine. The
// script check_release.sh installs, uninstalls and unzips between the runs
// and picks the suite with --gtest_filter:
//   InstalledRelease    right after the silent install, before anything has
//                       started the installed program
//   InstalledProgram    starts the installed program
//   ReinstalledRelease  installs BRIMLOW_SETUP again over the running copy
//   UninstalledRelease  after the silent uninstall that followed
//   InstalledAgain      a second install, over the kept table, with the keys
//                       of an earlier machine-wide copy in BRIMLOW_MACHINE_COPY
//   UninstalledAgain    after uninstalling that second install
//   UnicodeFolderRelease  installs into a folder named beyond code page 1252
//                       and the BMP, then uninstalls from it
//   PortableRelease     the zip unpacked into BRIMLOW_PORTABLE_DIR
// BRIMLOW_STAGE_DIR names the release folder both downloads were made of,
// BRIMLOW_SETUP the installer and BRIMLOW_VERSION the version it must report.
#include <gtest/gtest.h>

// windows.h first: knownfolders.h relies on its macros.
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "control_ids.h"
#include "driver.h"
#include "support/test_files.h"
#include "support/wide_text.h"

namespace brimlow::release {
namespace {

using testing::Exists;
using testing::ReadBytes;
using testing::SetOldWriteTime;
using testing::Utf8;
using testing::Wide;
using testing::WriteBytes;
using testing::WriteTime;

const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunValue = "Brimlow";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brimlow";
const std::vector<std::string> kProgramFiles = {"program.exe", "Ostrad.dll", "help.txt", "ReadMe.txt"};

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string FolderPath(int csidl) {
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? std::string(path) : "";
}

// The user's own programs folder as the shell names it; %LOCALAPPDATA%\Programs,
// its default, where the shell does not know that folder (Wine 8 answers
// E_INVALIDARG).
std::string UserProgramsFolder() {
    PWSTR wide = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_UserProgramFiles, KF_FLAG_DONT_VERIFY, nullptr, &wide))) {
        char path[MAX_PATH] = {};
        if (WideCharToMultiByte(CP_ACP, 0, wide, -1, path, sizeof path, nullptr, nullptr) > 0) folder = path;
    }
    CoTaskMemFree(wide);
    return folder.empty() ? Env("LOCALAPPDATA") + "\\Programs" : folder;
}

std::string InstallFolder() { return UserProgramsFolder() + "\\Brimlow"; }
std::string StartMenuFolder() { return FolderPath(CSIDL_PROGRAMS) + "\\Brimlow"; }
std::string AllUsersStartMenuFolder() { return FolderPath(CSIDL_COMMON_PROGRAMS) + "\\Brimlow"; }

// What the Run value must hold for the program in this folder: quoted, and
// this spelling of the file name.
std::string QuotedProgram(const std::string& folder) { return "\"" + folder + "\\Program.exe\""; }

struct RegValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::string bytes;
    std::string Text() const { return bytes.substr(0, bytes.find('\0')); }
    DWORD Number() const {
        DWORD number = 0;
        if (bytes.size() == sizeof number) std::memcpy(&number, bytes.data(), sizeof number);
        return number;
    }
};

RegValue ReadValue(HKEY root, const char* subKey, const char* name) {
    RegValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        value.found = RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(value.bytes.data()),
                                       &size) == ERROR_SUCCESS;
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    return value;
}

bool KeyExists(HKEY root, const char* subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The file a shell link opens.
std::string LinkTarget(const std::string& link) {
    std::string target;
    IShellLinkA* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shellLink)))) {
        return target;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        std::wstring wide(link.begin(), link.end());
        char path[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) &&
            SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH))) {
            target = path;
        }
        file->Release();
    }
    shellLink->Release();
    return target;
}

// The execution level the program's embedded manifest asks Windows for
// (asInvoker, highestAvailable or requireAdministrator); "" without one.
std::string RequestedExecutionLevel(const std::string& exe) {
    const auto kManifestType = MAKEINTRESOURCEA(24);
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return "";
    std::string manifest;
    if (HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), kManifestType)) {
        if (HGLOBAL data = LoadResource(module, resource)) {
            manifest.assign(static_cast<const char*>(LockResource(data)), SizeofResource(module, resource));
        }
    }
    FreeLibrary(module);
    const auto element = manifest.find("requestedExecutionLevel");
    const auto level = manifest.find("level=\"", element);
    if (element == std::string::npos || level == std::string::npos) return "";
    const auto start = level + std::strlen("level=\"");
    return manifest.substr(start, manifest.find('"', start) - start);
}

// A table that loads fine and differs from the shipped one in row 0's target,
// so the file on disk after the close can only have come from the rows the
// program loaded. The uninstall checks expect these bytes to survive.
std::string InstalledCheckTable() {
    return e2e::ShortcutsFile({{"CTRL", "N", "C:\\Program Files\\Brimlow check\\target.exe", "2 - Minimized", "0"}});
}

// Starts the program in the folder with this table, checks that row 0 shows
// the table's target, closes the window and checks that the program wrote
// the same table back over the back-dated file. The file on disk has lone LF
// line ends, which load alike; a close writes nothing over a file that
// already holds the rows' bytes, so only these make the save show.
void ExpectLoadsAndSavesAtClose(const std::string& folder, const std::string& table, const std::string& rowTarget,
                                const std::function<void()>& whileRunning = {}) {
    const std::string shortcuts = folder + "\\data\\shortcuts.ini";
    std::string loneLf = table;
    loneLf.erase(std::remove(loneLf.begin(), loneLf.end(), '\r'), loneLf.end());
    ASSERT_TRUE(WriteBytes(shortcuts, loneLf)) << shortcuts;
    ASSERT_TRUE(SetOldWriteTime(shortcuts));
    const ULONGLONG before = WriteTime(shortcuts);

    // Started as the Run key or a shortcut starts it: by its full path, from
    // another working folder.
    e2e::RunningProgram program(folder + "\\program.exe", FolderPath(CSIDL_SYSTEM));
    ASSERT_TRUE(program.WaitForForm(30000) && IsWindowVisible(program.Form()))
        << "no main window; the program ended with " << program.WaitForExit(0);
    EXPECT_EQ(program.Text(ids::kText2), rowTarget) << "row 0 did not come from " << shortcuts;
    if (whileRunning) whileRunning();
    PostMessageA(program.Form(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(20000), 0u) << "the program did not end cleanly after its window was closed";

    EXPECT_GT(WriteTime(shortcuts), before) << "the table was not written at close";
    EXPECT_EQ(ReadBytes(shortcuts), table);
    WIN32_FIND_DATAA found;
    HANDLE leftover = FindFirstFileA((shortcuts + ".*.tmp").c_str(), &found);
    EXPECT_EQ(leftover, INVALID_HANDLE_VALUE) << "a temporary file was left: " << found.cFileName;
    if (leftover != INVALID_HANDLE_VALUE) FindClose(leftover);
}

class InstalledRelease : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitialize(nullptr); }
    const std::string folder_ = InstallFolder();
    const std::string stage_ = Env("BRIMLOW_STAGE_DIR");
};

TEST_F(InstalledRelease, PutsTheReleaseFolderIntoTheUsersProgramsFolderWithAnUninstaller) {
    ASSERT_FALSE(stage_.empty()) << "BRIMLOW_STAGE_DIR is not set";
    for (const auto& name : kProgramFiles) {
        const std::string installed = ReadBytes(folder_ + "\\" + name);
        EXPECT_FALSE(installed.empty()) << folder_ << "\\" << name;
        EXPECT_TRUE(installed == ReadBytes(stage_ + "\\" + name)) << name << " differs from the release folder's";
    }
    EXPECT_EQ(ReadBytes(folder_ + "\\data\\shortcuts.ini"), ReadBytes(stage_ + "\\data\\shortcuts.ini"));
    EXPECT_TRUE(Exists(folder_ + "\\Uninstall.exe"));
    EXPECT_FALSE(Exists(FolderPath(CSIDL_PROGRAM_FILES) + "\\Brimlow")) << "something went into Program Files";
}

// Windows elevates a program whose manifest asks for more than the caller's
// rights; neither the installer nor the uninstaller may ask.
TEST_F(InstalledRelease, AsksForNoAdministratorRightsToInstallOrUninstall) {
    const std::string setup = Env("BRIMLOW_SETUP");
    ASSERT_FALSE(setup.empty()) << "BRIMLOW_SETUP is not set";
    EXPECT_EQ(RequestedExecutionLevel(setup), "asInvoker") << setup;
    EXPECT_EQ(RequestedExecutionLevel(folder_ + "\\Uninstall.exe"), "asInvoker");
}

// Read before the installed program ever runs: the program writes the
// machine-wide value itself whenever the system lets it, as Wine does.
TEST_F(InstalledRelease, StartsAtLogonForThisUserOnlyThroughTheQuotedPath) {
    const RegValue run = ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue);
    ASSERT_TRUE(run.found) << "HKCU\\" << kRunKey << " has no Brimlow value";
    EXPECT_EQ(run.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(run.Text(), QuotedProgram(folder_));
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue).found) << "the installer wrote HKLM\\" << kRunKey;
}

TEST_F(InstalledRelease, ListsItselfInThisUsersAppsAndFeatures) {
    const auto text = [](const char* name) { return ReadValue(HKEY_CURRENT_USER, kUninstallKey, name).Text(); };
    EXPECT_EQ(text("DisplayName"), "Brimlow");
    EXPECT_EQ(text("DisplayVersion"), Env("BRIMLOW_VERSION"));
    EXPECT_FALSE(text("Publisher").empty());
    EXPECT_EQ(text("DisplayIcon"), folder_ + "\\program.exe,0");
    EXPECT_EQ(text("InstallLocation"), folder_);
    EXPECT_EQ(text("UninstallString"), "\"" + folder_ + "\\Uninstall.exe\"");
    EXPECT_EQ(text("QuietUninstallString"), "\"" + folder_ + "\\Uninstall.exe\" /S");

    const RegValue size = ReadValue(HKEY_CURRENT_USER, kUninstallKey, "EstimatedSize");
    EXPECT_EQ(size.type, static_cast<DWORD>(REG_DWORD));
    // In kilobytes: at least the program itself, far less than a megabyte
    // per file.
    const auto programKb = (ReadBytes(folder_ + "\\program.exe").size() + 1023) / 1024;
    EXPECT_GE(size.Number(), programKb);
    EXPECT_LT(size.Number(), 10u * 1024u);

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "the installer wrote HKLM\\" << kUninstallKey;
}

TEST_F(InstalledRelease, AddsStartMenuEntriesForThisUser) {
    EXPECT_EQ(LinkTarget(StartMenuFolder() + "\\Brimlow.lnk"), folder_ + "\\program.exe");
    EXPECT_EQ(LinkTarget(StartMenuFolder() + "\\Brimlow Help.lnk"), folder_ + "\\help.txt");
    EXPECT_FALSE(Exists(AllUsersStartMenuFolder())) << "entries in every user's Start menu";
}

TEST(InstalledProgram, LoadsItsRowsSavesThemAtCloseAndLeavesTheUsersRunValue) {
    const std::string folder = InstallFolder();
    ExpectLoadsAndSavesAtClose(folder, InstalledCheckTable(), "C:\\Program Files\\Brimlow check\\target.exe");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue).Text(), QuotedProgram(folder));
}

// Runs a program to its end; its exit code, or STILL_ACTIVE. The command
// line is UTF-16, so it can name any folder.
DWORD RunToEnd(const std::wstring& commandLine) {
    std::wstring command = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return GetLastError();
    }
    CloseHandle(info.hThread);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return code;
}

// A copy of the release folder, as the zip unpacks it.
bool CopyReleaseFolder(const std::string& stage, const std::string& folder) {
    CreateDirectoryA(folder.substr(0, folder.rfind('\\')).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\data").c_str(), nullptr);
    for (const auto& name : kProgramFiles) {
        if (!CopyFileA((stage + "\\" + name).c_str(), (folder + "\\" + name).c_str(), FALSE)) return false;
    }
    return true;
}

// Installing again, as an upgrade does, while the copy started at logon runs
// and a portable copy runs from a folder of its own. Only the installed copy
// is closed; the portable one has its own table and is none of the
// installer's business.
TEST(ReinstalledRelease, ClosesOnlyTheInstalledCopyReplacesItsFilesAndKeepsTheUsersTable) {
    const std::string folder = InstallFolder();
    const std::string setup = Env("BRIMLOW_SETUP");
    ASSERT_FALSE(setup.empty()) << "BRIMLOW_SETUP is not set";
    ASSERT_EQ(ReadBytes(folder + "\\data\\shortcuts.ini"), InstalledCheckTable()) << "run InstalledProgram first";
    // Back-dated, so that a replaced program.exe shows (the installer gives
    // its files the release folder's times).
    ASSERT_TRUE(SetOldWriteTime(folder + "\\program.exe"));
    const ULONGLONG oldProgram = WriteTime(folder + "\\program.exe");

    const std::string portable = "C:\\Brimlow beside the installed one\\Brimlow";
    const std::string portableTable = portable + "\\data\\shortcuts.ini";
    const std::string portableRows = e2e::ShortcutsFile({{"CTRL", "P", "C:\\portable\\target.exe", "1 - Normal", "0"}});
    ASSERT_TRUE(CopyReleaseFolder(Env("BRIMLOW_STAGE_DIR"), portable)) << portable;
    ASSERT_TRUE(WriteBytes(portableTable, portableRows) && SetOldWriteTime(portableTable));
    const ULONGLONG portableSaved = WriteTime(portableTable);

    e2e::RunningProgram program(folder + "\\program.exe", FolderPath(CSIDL_SYSTEM));
    ASSERT_TRUE(program.WaitForForm(30000) && IsWindowVisible(program.Form()));
    // The portable copy registers itself machine-wide where Wine lets it, as
    // any copy does; the installed copy's value is put back afterwards, for
    // the uninstall checks that follow.
    const RegValue machineRun = ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
    e2e::RunningProgram other(portable + "\\program.exe", FolderPath(CSIDL_SYSTEM));
    ASSERT_TRUE(other.WaitForForm(30000) && IsWindowVisible(other.Form())) << "the portable copy did not start";
    EXPECT_EQ(RunToEnd(L"\"" + Wide(setup) + L"\" /S"), 0u);

    // Closed the way its close box closes it: the rows were saved, not lost.
    EXPECT_EQ(program.WaitForExit(0), 0u) << "the installer left the program running, or it did not end cleanly";
    EXPECT_EQ(ReadBytes(folder + "\\data\\shortcuts.ini"), InstalledCheckTable());
    EXPECT_NE(WriteTime(folder + "\\program.exe"), oldProgram) << "program.exe was not replaced";
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue).Text(), QuotedProgram(folder));

    EXPECT_TRUE(other.Running() && IsWindow(other.Form())) << "the installer closed the portable copy";
    EXPECT_EQ(ReadBytes(portableTable), portableRows);
    EXPECT_EQ(WriteTime(portableTable), portableSaved) << "the portable copy's table was written";
    other.Close();
    EXPECT_EQ(other.WaitForExit(20000), 0u);
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run), ERROR_SUCCESS);
    if (machineRun.found) {
        RegSetValueExA(run, kRunValue, 0, machineRun.type, reinterpret_cast<const BYTE*>(machineRun.bytes.data()),
                       static_cast<DWORD>(machineRun.bytes.size()));
    } else {
        RegDeleteValueA(run, kRunValue);
    }
    RegCloseKey(run);
}

class UninstalledRelease : public ::testing::Test {
protected:
    const std::string folder_ = InstallFolder();
};

TEST_F(UninstalledRelease, RemovesTheProgramFilesAndKeepsTheUsersTable) {
    for (const auto& name : kProgramFiles) EXPECT_FALSE(Exists(folder_ + "\\" + name)) << name;
    EXPECT_FALSE(Exists(folder_ + "\\Uninstall.exe"));
    // The table as the installed program last saved it.
    EXPECT_EQ(ReadBytes(folder_ + "\\data\\shortcuts.ini"), InstalledCheckTable());
}

// The installed program ran twice before the uninstall and, where the system
// let it, registered itself machine-wide in its own spelling: whatever it
// wrote there names this install and goes with it.
TEST_F(UninstalledRelease, RemovesBothRunValuesTheAppsEntryAndTheStartMenuEntries) {
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue).found);
    const RegValue machine = ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
    EXPECT_FALSE(machine.found) << "HKLM\\" << kRunKey << " still holds " << machine.Text();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    EXPECT_FALSE(Exists(StartMenuFolder() + "\\Brimlow.lnk"));
    EXPECT_FALSE(Exists(StartMenuFolder() + "\\Brimlow Help.lnk"));
    EXPECT_FALSE(Exists(StartMenuFolder()));
}

// An earlier machine-wide copy, as the all-users installer left it: its
// folder in BRIMLOW_MACHINE_COPY, its Run value unquoted, its Apps & features
// entry under HKLM. Neither install nor uninstall for this user touches it.
class BesideAMachineWideCopy : public ::testing::Test {
protected:
    void ExpectTheMachineWideCopysKeysUnchanged() const {
        ASSERT_FALSE(machineCopy_.empty()) << "BRIMLOW_MACHINE_COPY is not set";
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue).Text(), machineCopy_ + "\\Program.exe");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation").Text(), machineCopy_);
    }
    const std::string folder_ = InstallFolder();
    const std::string machineCopy_ = Env("BRIMLOW_MACHINE_COPY");
};
using InstalledAgain = BesideAMachineWideCopy;
using UninstalledAgain = BesideAMachineWideCopy;

TEST_F(InstalledAgain, GoesIntoTheUsersFolderAndKeepsTheTableTheUninstallKept) {
    for (const auto& name : kProgramFiles) EXPECT_TRUE(Exists(folder_ + "\\" + name)) << name;
    EXPECT_FALSE(Exists(machineCopy_ + "\\program.exe")) << "installed into the machine-wide copy's folder";
    EXPECT_EQ(ReadBytes(folder_ + "\\data\\shortcuts.ini"), InstalledCheckTable());
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue).Text(), QuotedProgram(folder_));
    ExpectTheMachineWideCopysKeysUnchanged();
}

TEST_F(UninstalledAgain, RemovesThisUsersValuesAndLeavesTheMachineWideCopysRunValue) {
    EXPECT_FALSE(Exists(folder_ + "\\program.exe"));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRunKey, kRunValue).found);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    ExpectTheMachineWideCopysKeysUnchanged();
}

// Installed with /D= into a folder whose name is neither in code page 1252
// nor in the Basic Multilingual Plane, then uninstalled. Read with the wide
// calls throughout: this test program's ANSI calls would spell such a name
// with question marks.
const std::wstring kUnicodeFolder = L"C:\\users\\Public\\\u0141ukasz \u03A9 \u65E5\u672C \U0001F680\\Brimlow";

std::wstring RunValueW() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(kRunKey).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return L"";
    wchar_t text[1024] = {};
    DWORD size = sizeof text - sizeof(wchar_t), type = REG_NONE;
    const LONG status = RegQueryValueExW(key, L"Brimlow", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::wstring(text) : L"";
}

TEST(UnicodeFolderRelease, InstallsIntoTheFolderAndStartsAtLogonThroughItsQuotedPath) {
    const std::string setup = Env("BRIMLOW_SETUP"), stage = Env("BRIMLOW_STAGE_DIR");
    ASSERT_FALSE(setup.empty() || stage.empty()) << "BRIMLOW_SETUP or BRIMLOW_STAGE_DIR is not set";
    // NSIS takes /D= last and unquoted, spaces and all.
    ASSERT_EQ(RunToEnd(L"\"" + Wide(setup) + L"\" /S /D=" + kUnicodeFolder), 0u);
    for (const auto& name : kProgramFiles) {
        const std::string installed = ReadBytes(kUnicodeFolder + L"\\" + Wide(name));
        EXPECT_FALSE(installed.empty()) << Utf8(kUnicodeFolder) << "\\" << name;
        EXPECT_TRUE(installed == ReadBytes(stage + "\\" + name)) << name << " differs from the release folder's";
    }
    EXPECT_EQ(ReadBytes(kUnicodeFolder + L"\\data\\shortcuts.ini"), ReadBytes(stage + "\\data\\shortcuts.ini"));
    EXPECT_TRUE(Exists(kUnicodeFolder + L"\\Uninstall.exe"));
    const std::wstring expected = L"\"" + kUnicodeFolder + L"\\Program.exe\"";
    EXPECT_TRUE(RunValueW() == expected) << "the Run value is " << Utf8(RunValueW()) << ", not " << Utf8(expected);
}

TEST(UnicodeFolderRelease, UninstallsFromTheFolderAndKeepsTheTable) {
    ASSERT_TRUE(Exists(kUnicodeFolder + L"\\Uninstall.exe")) << "run the install test first";
    EXPECT_EQ(RunToEnd(L"\"" + kUnicodeFolder + L"\\Uninstall.exe\" /S"), 0u);
    // The uninstaller goes on from a copy of itself; its last step removes
    // the Apps & features entry.
    EXPECT_TRUE(e2e::WaitUntil([] { return !KeyExists(HKEY_CURRENT_USER, kUninstallKey); }, 60000))
        << "the uninstaller did not finish";
    EXPECT_FALSE(Exists(kUnicodeFolder + L"\\Uninstall.exe"));
    for (const auto& name : kProgramFiles) EXPECT_FALSE(Exists(kUnicodeFolder + L"\\" + Wide(name))) << name;
    EXPECT_TRUE(Exists(kUnicodeFolder + L"\\data\\shortcuts.ini")) << "the table was not kept";
    EXPECT_TRUE(RunValueW().empty()) << "the Run value is still " << Utf8(RunValueW());
}

TEST(PortableRelease, UnzippedIntoAFolderWithASpaceItLoadsLaunchesAndSaves) {
    const std::string folder = Env("BRIMLOW_PORTABLE_DIR");
    ASSERT_NE(folder.find(' '), std::string::npos) << "BRIMLOW_PORTABLE_DIR must name a folder with a space";
    for (const auto& name : kProgramFiles) ASSERT_TRUE(Exists(folder + "\\" + name)) << name;

    // The probe records every start beside itself.
    const std::string probe = folder + "\\probe target.exe";
    ASSERT_TRUE(CopyFileA((e2e::BinFolder() + "\\e2e\\probe.exe").c_str(), probe.c_str(), FALSE));
    const std::string log = folder + "\\probe.log";
    DeleteFileA(log.c_str());

    ExpectLoadsAndSavesAtClose(folder, e2e::ShortcutsFile({{"CTRL", "N", probe, "1 - Normal", "1"}}), probe, [&] {
        e2e::HoldKeys({VK_CONTROL, 'N'}, 300);
        EXPECT_TRUE(e2e::WaitUntil([&] { return ReadBytes(log).find("name=probe target.exe") != std::string::npos; },
                                   15000))
            << "Ctrl+N did not start " << probe;
    });
    // The program saved into its own folder, never into the working folder
    // it was started in.
    EXPECT_FALSE(Exists(FolderPath(CSIDL_SYSTEM) + "\\data\\shortcuts.ini"));
}

}  // namespace
}  // namespace brimlow::release

// The release as a Windows user gets it, checked from inside Wine. The
// script check_release.sh installs, uninstalls and unzips between the runs
// and picks the suite with --gtest_filter:
//   InstalledRelease    after the silent install
//   ReinstalledRelease  installs BRIMLOW_SETUP again over the installed copy
//   UninstalledRelease  after the silent uninstall that followed
//   PortableRelease     the zip unpacked into BRIMLOW_PORTABLE_DIR
// BRIMLOW_STAGE_DIR names the release folder both were made of, and
// BRIMLOW_VERSION the version the installer must report.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "control_ids.h"
#include "driver.h"

namespace brimlow::release {
namespace {

const char* const kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brimlow";
const std::vector<std::string> kProgramFiles = {"program.exe", "Ostrad.dll", "help.txt", "ReadMe.txt"};

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

// Back-dates a file, so that a later write shows in its time whatever the
// file system's time resolution.
bool SetOldWriteTime(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    SYSTEMTIME old{};
    old.wYear = 2001;
    old.wMonth = 1;
    old.wDay = 1;
    FILETIME time{};
    SystemTimeToFileTime(&old, &time);
    const bool ok = SetFileTime(file, nullptr, nullptr, &time) != 0;
    CloseHandle(file);
    return ok;
}

ULONGLONG WriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? std::string(path) : "";
}

std::string InstallFolder() { return KnownFolder(CSIDL_PROGRAM_FILES) + "\\Brimlow"; }
std::string StartMenuFolder() { return KnownFolder(CSIDL_COMMON_PROGRAMS) + "\\Brimlow"; }

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

RegValue ReadMachineValue(const char* subKey, const char* name) {
    RegValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return value;
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

bool MachineKeyExists(const char* subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
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

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// Whether the folder's own access list lets the local Users group modify it
// and, by inheritance, every file that is created in it.
bool UsersMayModify(const std::string& folder) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    BYTE usersSid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof usersSid;
    CreateWellKnownSid(WinBuiltinUsersSid, nullptr, usersSid, &sidSize);
    const DWORD modify = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
    const BYTE inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    bool granted = false;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount && !granted; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        granted = EqualSid(&allowed->SidStart, usersSid) && (allowed->Mask & modify) == modify &&
                  (allowed->Header.AceFlags & inherit) == inherit;
    }
    LocalFree(descriptor);
    return granted;
}

// program.exe started from a folder, the way the Run key or a shortcut starts
// it: by its full path, with another working folder.
class StartedProgram {
public:
    explicit StartedProgram(const std::string& folder) {
        std::string command = "\"" + folder + "\\program.exe\"";
        const std::string elsewhere = KnownFolder(CSIDL_SYSTEM);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, elsewhere.c_str(), &startup,
                           &info)) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
            pid_ = info.dwProcessId;
        }
    }
    ~StartedProgram() {
        if (process_ == nullptr) return;
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 10000);
        }
        CloseHandle(process_);
    }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    // The window exists before its rows are loaded; it is shown after.
    bool WaitForShownForm() {
        return e2e::WaitUntil(
                   [this] {
                       if (form_ == nullptr) EnumWindows(&StartedProgram::FindForm, reinterpret_cast<LPARAM>(this));
                       return (form_ != nullptr && IsWindowVisible(form_)) ||
                              WaitForSingleObject(process_, 0) != WAIT_TIMEOUT;
                   },
                   30000) &&
               form_ != nullptr && IsWindowVisible(form_);
    }

    std::string Text(int id) const {
        char text[MAX_PATH] = {};
        SendMessageA(GetDlgItem(form_, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // Closes the window as its close box does; true when the program ended.
    bool CloseAndWait() {
        PostMessageA(form_, WM_CLOSE, 0, 0);
        return WaitForSingleObject(process_, 20000) == WAIT_OBJECT_0;
    }

    bool WaitForExit(DWORD timeoutMs) const { return WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0; }

    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_, &code);
        return code;
    }

private:
    static BOOL CALLBACK FindForm(HWND hwnd, LPARAM context) {
        auto* self = reinterpret_cast<StartedProgram*>(context);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        char cls[64] = {};
        char title[64] = {};
        GetClassNameA(hwnd, cls, sizeof cls);
        GetWindowTextA(hwnd, title, sizeof title);
        if (pid == self->pid_ && std::string(cls) == ids::kForm1Class && std::string(title) == ids::kForm1Title) {
            self->form_ = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND form_ = nullptr;
};

// A table that loads fine and differs from the shipped one in row 0's target,
// so the file on disk after the close can only have come from the rows the
// program loaded. The uninstall check expects these bytes to survive.
std::string InstalledCheckTable() {
    return e2e::ShortcutsFile({{"CTRL", "N", "C:\\Program Files\\Brimlow check\\target.exe", "2 - Minimized", "0"}});
}

// Starts the program in the folder with this table, checks that row 0 shows
// the table's target, closes the window and checks that the program wrote
// the same table back over the back-dated file.
void ExpectLoadsAndSavesAtClose(const std::string& folder, const std::string& table, const std::string& rowTarget,
                                const std::function<void()>& whileRunning = {}) {
    const std::string shortcuts = folder + "\\data\\shortcuts.ini";
    ASSERT_TRUE(WriteBytes(shortcuts, table)) << shortcuts;
    ASSERT_TRUE(SetOldWriteTime(shortcuts));
    const ULONGLONG before = WriteTime(shortcuts);

    StartedProgram program(folder);
    ASSERT_TRUE(program.WaitForShownForm()) << "no main window; the program ended with " << program.ExitCode();
    EXPECT_EQ(program.Text(ids::kText2), rowTarget) << "row 0 did not come from " << shortcuts;
    if (whileRunning) whileRunning();
    ASSERT_TRUE(program.CloseAndWait()) << "the program did not end after its window was closed";
    EXPECT_EQ(program.ExitCode(), 0u);

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

TEST_F(InstalledRelease, PutsTheReleaseFolderIntoProgramFilesWithAnUninstaller) {
    ASSERT_FALSE(stage_.empty()) << "BRIMLOW_STAGE_DIR is not set";
    for (const auto& name : kProgramFiles) {
        const std::string installed = ReadBytes(folder_ + "\\" + name);
        EXPECT_FALSE(installed.empty()) << folder_ << "\\" << name;
        EXPECT_TRUE(installed == ReadBytes(stage_ + "\\" + name)) << name << " differs from the release folder's";
    }
    EXPECT_EQ(ReadBytes(folder_ + "\\data\\shortcuts.ini"), ReadBytes(stage_ + "\\data\\shortcuts.ini"));
    EXPECT_TRUE(Exists(folder_ + "\\Uninstall.exe"));
}

TEST_F(InstalledRelease, RegistersTheInstalledProgramToStartAtLogon) {
    const RegValue run = ReadMachineValue(kRunKey, "Brimlow");
    ASSERT_TRUE(run.found);
    EXPECT_EQ(run.type, static_cast<DWORD>(REG_SZ));
    // Exactly what the program compares with at every start: no quotation
    // marks, this spelling of the file name.
    EXPECT_EQ(run.Text(), folder_ + "\\Program.exe");
}

TEST_F(InstalledRelease, ListsItselfInAppsAndFeatures) {
    const auto text = [](const char* name) { return ReadMachineValue(kUninstallKey, name).Text(); };
    EXPECT_EQ(text("DisplayName"), "Brimlow");
    EXPECT_EQ(text("DisplayVersion"), Env("BRIMLOW_VERSION"));
    EXPECT_FALSE(text("Publisher").empty());
    EXPECT_EQ(text("DisplayIcon"), folder_ + "\\program.exe,0");
    EXPECT_EQ(text("InstallLocation"), folder_);
    EXPECT_EQ(text("UninstallString"), "\"" + folder_ + "\\Uninstall.exe\"");
    EXPECT_EQ(text("QuietUninstallString"), "\"" + folder_ + "\\Uninstall.exe\" /S");

    const RegValue size = ReadMachineValue(kUninstallKey, "EstimatedSize");
    EXPECT_EQ(size.type, static_cast<DWORD>(REG_DWORD));
    // In kilobytes: at least the program itself, far less than a megabyte
    // per file.
    const auto programKb = (ReadBytes(folder_ + "\\program.exe").size() + 1023) / 1024;
    EXPECT_GE(size.Number(), programKb);
    EXPECT_LT(size.Number(), 10u * 1024u);
}

TEST_F(InstalledRelease, AddsStartMenuEntriesForTheProgramAndItsHelp) {
    EXPECT_EQ(LinkTarget(StartMenuFolder() + "\\Brimlow.lnk"), folder_ + "\\program.exe");
    EXPECT_EQ(LinkTarget(StartMenuFolder() + "\\Brimlow Help.lnk"), folder_ + "\\help.txt");
}

TEST_F(InstalledRelease, LetsUsersModifyTheDataFolder) {
    if (!UsersMayModify(folder_ + "\\data") && UnderWine()) {
        GTEST_SKIP() << "Wine's icacls is a stub that changes no access list; on Windows the grant must be there";
    }
    EXPECT_TRUE(UsersMayModify(folder_ + "\\data"));
}

TEST_F(InstalledRelease, TheInstalledProgramLoadsItsRowsSavesThemAtCloseAndKeepsTheRunValue) {
    ExpectLoadsAndSavesAtClose(folder_, InstalledCheckTable(), "C:\\Program Files\\Brimlow check\\target.exe");
    // The program saw its own registration and left it as it was.
    EXPECT_EQ(ReadMachineValue(kRunKey, "Brimlow").Text(), folder_ + "\\Program.exe");
}

// Runs a program to its end; its exit code, or STILL_ACTIVE.
DWORD RunToEnd(const std::string& commandLine) {
    std::string command = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return GetLastError();
    }
    CloseHandle(info.hThread);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return code;
}

// Installing again, as an upgrade does, while the copy started at logon runs.
TEST(ReinstalledRelease, ClosesTheRunningProgramReplacesItsFilesAndKeepsTheUsersTable) {
    const std::string folder = InstallFolder();
    const std::string setup = Env("BRIMLOW_SETUP");
    ASSERT_FALSE(setup.empty()) << "BRIMLOW_SETUP is not set";
    ASSERT_EQ(ReadBytes(folder + "\\data\\shortcuts.ini"), InstalledCheckTable()) << "run InstalledRelease first";
    // Back-dated, so that a replaced program.exe shows (the installer gives
    // its files the release folder's times).
    ASSERT_TRUE(SetOldWriteTime(folder + "\\program.exe"));
    const ULONGLONG oldProgram = WriteTime(folder + "\\program.exe");

    StartedProgram program(folder);
    ASSERT_TRUE(program.WaitForShownForm());
    EXPECT_EQ(RunToEnd("\"" + setup + "\" /S"), 0u);

    // Closed the way its close box closes it: the rows were saved, not lost.
    EXPECT_TRUE(program.WaitForExit(0)) << "the installer left the program running";
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_EQ(ReadBytes(folder + "\\data\\shortcuts.ini"), InstalledCheckTable());
    EXPECT_NE(WriteTime(folder + "\\program.exe"), oldProgram) << "program.exe was not replaced";
    EXPECT_EQ(ReadMachineValue(kRunKey, "Brimlow").Text(), folder + "\\Program.exe");
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

TEST_F(UninstalledRelease, RemovesTheRunValueTheAppsEntryAndTheStartMenuEntries) {
    EXPECT_FALSE(ReadMachineValue(kRunKey, "Brimlow").found);
    EXPECT_FALSE(MachineKeyExists(kUninstallKey));
    EXPECT_FALSE(Exists(StartMenuFolder() + "\\Brimlow.lnk"));
    EXPECT_FALSE(Exists(StartMenuFolder() + "\\Brimlow Help.lnk"));
    EXPECT_FALSE(Exists(StartMenuFolder()));
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
    EXPECT_FALSE(Exists(KnownFolder(CSIDL_SYSTEM) + "\\data\\shortcuts.ini"));
}

}  // namespace
}  // namespace brimlow::release

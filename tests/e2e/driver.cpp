#include "driver.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "paths.h"
#include "support/test_files.h"

namespace brimlow::e2e {
namespace {

std::string Parent(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

void CopyOrFail(const std::string& from, const std::string& to) {
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot copy %s to %s (%lu)\n", from.c_str(), to.c_str(), GetLastError());
    }
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM context) {
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == found->first) found->second.push_back(hwnd);
    return TRUE;
}

INPUT KeyInput(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

}  // namespace

std::string BinFolder() { return Parent(win::ModuleFolder()); }

using testing::RemoveTree;

ProgramCopy::ProgramCopy(const std::string& name) {
    folder_ = testing::FreshTempFolder("brimlow e2e " + name);
    CreateDirectoryA((folder_ + "\\data").c_str(), nullptr);
    const std::string bin = BinFolder();
    CopyOrFail(bin + "\\program.exe", folder_ + "\\program.exe");
    CopyOrFail(bin + "\\Ostrad.dll", folder_ + "\\Ostrad.dll");
    if (GetFileAttributesA((bin + "\\help.txt").c_str()) != INVALID_FILE_ATTRIBUTES) {
        CopyOrFail(bin + "\\help.txt", folder_ + "\\help.txt");
    }
}

ProgramCopy::~ProgramCopy() { RemoveTree(folder_); }

std::string ProgramCopy::AddProbe(const std::string& name) const {
    const std::string target = PathOf(name);
    CopyOrFail(BinFolder() + "\\e2e\\probe.exe", target);
    return target;
}

void ProgramCopy::WriteFile(const std::string& relative, const std::string& bytes) const {
    testing::WriteBytes(PathOf(relative), bytes);
}

std::string ProgramCopy::ReadFile(const std::string& relative) const { return testing::ReadBytes(PathOf(relative)); }

bool ProgramCopy::Exists(const std::string& relative) const { return testing::Exists(PathOf(relative)); }

bool ProgramCopy::Rename(const std::string& from, const std::string& to) const {
    return MoveFileA(PathOf(from).c_str(), PathOf(to).c_str()) != 0;
}

std::string ShortcutsFile(const std::vector<Row>& rows) {
    std::string bytes;
    for (int i = 0; i < 10; ++i) {
        const Row row = i < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(i)] : Row{"UP", "Q", "", "1 - Normal", "0"};
        for (const std::string* line : {&row.firstKey, &row.letter, &row.path, &row.windowState, &row.active}) {
            bytes += *line + "\r\n";
        }
    }
    return bytes;
}

std::vector<ProbeStart> ProbeStarts(const ProgramCopy& copy) {
    std::vector<ProbeStart> starts;
    std::istringstream log(copy.ReadFile("probe.log"));
    std::string line;
    while (std::getline(log, line)) {
        ProbeStart start;
        char name[MAX_PATH] = {};
        unsigned long long created = 0;
        if (std::sscanf(line.c_str(), "name=%259s show=%d created=%llu", name, &start.show, &created) == 3) {
            start.name = name;
            start.created = created;
            const auto args = line.find(" args=");
            if (args != std::string::npos) start.args = line.substr(args + 6);
            starts.push_back(start);
        }
    }
    return starts;
}

std::vector<ProbeStart> SettledProbeStarts(const ProgramCopy& copy) {
    size_t last = static_cast<size_t>(-1);
    for (int i = 0; i < 20; ++i) {
        Wait(250);
        const size_t now = ProbeStarts(copy).size();
        if (now == last) break;
        last = now;
    }
    return ProbeStarts(copy);
}

RunningProgram::RunningProgram(const ProgramCopy& copy, const std::string& arguments)
    : RunningProgram(copy.Folder(), copy.Folder(), arguments) {}

RunningProgram::RunningProgram(const std::string& folder, const std::string& workingFolder,
                               const std::string& arguments) {
    std::string command = "\"" + folder + "\\program.exe\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, workingFolder.c_str(), &startup,
                       &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
    }
}

RunningProgram::~RunningProgram() {
    if (process_ == nullptr) return;
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
}

bool RunningProgram::WaitForForm(DWORD timeoutMs) {
    WaitUntil(
        [this] {
            for (HWND hwnd : Windows()) {
                char title[64] = {};
                char cls[64] = {};
                GetWindowTextA(hwnd, title, sizeof title);
                GetClassNameA(hwnd, cls, sizeof cls);
                if (std::string(title) == "Form1" && std::string(cls) == "BrimlowForm1") {
                    form_ = hwnd;
                    return true;
                }
            }
            return !Running();
        },
        timeoutMs);
    if (form_ == nullptr) return false;
    // The window gains the X focus as it is shown, and Wine then brings its
    // key state in line with the X keyboard, forgetting keys pressed before.
    WaitUntil([this] { return IsWindowVisible(form_) != FALSE; }, 5000);
    Wait(300);
    return true;
}

std::string RunningProgram::Text(int id) const {
    HWND control = Control(id);
    const auto length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const auto copied = SendMessageA(control, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

void RunningProgram::SetText(int id, const std::string& text) const {
    SendMessageA(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int RunningProgram::Check(int id) const { return static_cast<int>(SendMessageA(Control(id), BM_GETCHECK, 0, 0)); }

void RunningProgram::SetCheck(int id, int state) const {
    SendMessageA(Control(id), BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

void RunningProgram::Click(int id) const {
    // Posted like a real click, so a modal dialog it opens does not block us.
    PostMessageA(form_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(id)));
}

bool RunningProgram::WaitForIdle(DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(form_, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

bool RunningProgram::Running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

DWORD RunningProgram::WaitForExit(DWORD timeoutMs) const {
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::vector<HWND> RunningProgram::Windows() const {
    std::pair<DWORD, std::vector<HWND>> found{pid_, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

void KeyDown(WORD key) {
    INPUT input = KeyInput(key, false);
    SendInput(1, &input, sizeof(INPUT));
}

void KeyUp(WORD key) {
    INPUT input = KeyInput(key, true);
    SendInput(1, &input, sizeof(INPUT));
}

void ReleaseKeysLeftDown(std::initializer_list<WORD> keys) {
    for (WORD key : keys) {
        if (GetAsyncKeyState(key) < 0) KeyUp(key);
    }
}

void HoldKeys(std::initializer_list<WORD> keys, DWORD holdMs) {
    for (WORD key : keys) {
        KeyDown(key);
        Wait(30);
    }
    Wait(holdMs);
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) {
        KeyUp(*it);
        Wait(30);
    }
}

void Wait(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now > 20 ? 20 : end - now), QS_ALLINPUT);
    }
}

}  // namespace brimlow::e2e

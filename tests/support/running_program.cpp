#include "running_program.h"

#include <utility>

#include "control_ids.h"
#include "keyboard.h"
#include "messages.h"
#include "notify_icon.h"
#include "wide_text.h"
#include "window_text.h"

namespace brimlow::testing {
namespace {

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM context) {
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == found->first) found->second.push_back(hwnd);
    return TRUE;
}

}  // namespace

RunningProgram::RunningProgram(const std::string& program, const std::string& workingFolder,
                               const std::string& arguments) {
    std::string command = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
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
        for (HWND hwnd : Windows()) RemoveNotifyIcon(hwnd, ids::kNotifyIconId);
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
}

bool RunningProgram::WaitForForm(DWORD timeoutMs) {
    // A window that appears under the pointer takes the X focus, and Wine
    // then forgets the keys a test presses just before (see ParkPointer).
    ParkPointer();
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    const auto left = [end] {
        const ULONGLONG now = GetTickCount64();
        return static_cast<DWORD>(now < end ? end - now : 0);
    };
    WaitUntil(
        [this] {
            for (HWND hwnd : Windows()) {
                if (ClassOf(hwnd) == ids::kForm1Class && WindowText(hwnd) == ids::kForm1Title) form_ = hwnd;
            }
            return form_ != nullptr || !Running();
        },
        left());
    return form_ != nullptr && WaitUntil([this] { return IsWindowVisible(form_) || !Running(); }, left()) &&
           IsWindowVisible(form_) && WaitForIdle();
}

// Through the wide messages: the text the control holds, in UTF-8, whatever
// code page either process runs in.
std::string RunningProgram::Text(int id) const {
    HWND control = Control(id);
    const auto length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const auto copied =
        SendMessageW(control, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return Utf8(text);
}

void RunningProgram::SetText(int id, const std::string& text) const {
    SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

int RunningProgram::Check(int id) const { return static_cast<int>(SendMessageA(Control(id), BM_GETCHECK, 0, 0)); }

void RunningProgram::SetCheck(int id, int state) const {
    SendMessageA(Control(id), BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

void RunningProgram::Click(int id) const {
    PostMessageA(form_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(id)));
}

void RunningProgram::Close() const { PostMessageA(form_, WM_CLOSE, 0, 0); }

bool RunningProgram::WaitForIdle(DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(form_, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

bool RunningProgram::Running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

DWORD RunningProgram::WaitForExit(DWORD timeoutMs) const {
    if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::vector<HWND> RunningProgram::Windows() const {
    std::pair<DWORD, std::vector<HWND>> found{pid_, {}};
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

}  // namespace brimlow::testing

#pragma once
// The program's own top-level windows as a second process sees them: its
// message boxes, file dialogs and About box, found by class "#32770" among
// the windows of its process, read with WM_GETTEXT and answered with posted
// commands. A modal dialog blocks the program's window thread, so whatever
// opens one is posted, never sent, and the dialog is then waited for. And
// the registry values the tests set up and put back.

#include <windows.h>

#include <string>
#include <vector>

#include "driver.h"
#include "support/registry.h"
#include "support/wide_text.h"
#include "support/window_text.h"

namespace brimlow::e2e {

using testing::ClassOf;
using testing::DeleteValue;
using testing::ReadStringValue;
using testing::RestoreValue;
using testing::WriteStringValue;

// A window's text in UTF-8 through WM_GETTEXT, which works across processes for
// top-level windows and child controls alike. The timeout keeps a hung
// program from hanging the test.
inline std::string TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length)) return std::string();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_NORMAL, 5000, &copied)) {
        return std::string();
    }
    text.resize(static_cast<size_t>(copied));
    return testing::Utf8(text);
}

inline std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM context) {
            reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

// The prompt of a message box: the static control that holds text.
inline std::string MessageBoxText(HWND box) {
    for (HWND child : ChildrenOf(box)) {
        if (ClassOf(child) != "Static") continue;
        const std::string text = TextOf(child);
        if (!text.empty()) return text;
    }
    return std::string();
}

inline bool IsDialogOf(const RunningProgram& program, HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid == program.Pid() && ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd);
}

// The program's visible dialogs now.
inline std::vector<HWND> DialogsOf(const RunningProgram& program) {
    std::vector<HWND> dialogs;
    for (HWND hwnd : program.Windows()) {
        if (IsDialogOf(program, hwnd)) dialogs.push_back(hwnd);
    }
    return dialogs;
}

// Waits for a visible dialog of the program with this title; any title when
// it is empty. nullptr if none came in time.
inline HWND WaitForDialog(const RunningProgram& program, const std::string& title = std::string(),
                          DWORD timeoutMs = 10000) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND hwnd : DialogsOf(program)) {
                if (title.empty() || TextOf(hwnd) == title) {
                    found = hwnd;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

inline bool WaitUntilGone(HWND hwnd, DWORD timeoutMs = 10000) {
    return WaitUntil([&] { return !IsWindow(hwnd); }, timeoutMs);
}

// Presses a dialog's button the way a click would: the dialog gets the
// button's command, posted, so its own loop handles it.
inline void PressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The control that has the keyboard focus in the window's thread.
inline HWND FocusIn(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

// A key as the focused control of a dialog receives it: the dialog's modal
// loop turns Enter and Escape into its default and cancel commands.
inline void PostKey(HWND target, WORD key) {
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(target, WM_KEYDOWN, key, scan | 1);
    PostMessageA(target, WM_KEYUP, key, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

// An error's text: its number first ("Error 53: ..."), and every one of the
// parts, which name the file or function at fault.
inline ::testing::AssertionResult IsErrorNaming(const std::string& text, const std::vector<std::string>& parts) {
    std::string wrong = text.rfind("Error ", 0) == 0 ? "" : " no \"Error \" first;";
    for (const std::string& part : parts) {
        if (text.find(part) == std::string::npos) wrong += " lacks \"" + part + "\";";
    }
    if (wrong.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\":" << wrong;
}

}  // namespace brimlow::e2e

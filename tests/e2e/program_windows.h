#pragma once
// The program's own top-level windows as a second process sees them: its
// message boxes, file dialogs and About box, found by class "#32770" among
// the windows of its process, read with WM_GETTEXT and answered with posted
// commands. A modal dialog blocks the program's window thread, so whatever
// opens one is posted, never sent, and the dialog is then waited for.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "driver.h"

namespace brimlow::e2e {

inline std::string ClassOf(HWND hwnd) {
    char name[128] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// A window's text through WM_GETTEXT, which works across processes for
// top-level windows and child controls alike. The timeout keeps a hung
// program from hanging the test.
inline std::string TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length)) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_NORMAL, 5000, &copied)) {
        return std::string();
    }
    text.resize(static_cast<size_t>(copied));
    return text;
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

// Everything the dialog's static controls say, one after the other: the
// prompt of a message box is one of them.
inline std::string StaticTexts(HWND dialog) {
    std::string texts;
    for (HWND child : ChildrenOf(dialog)) {
        if (ClassOf(child) == "Static") texts += TextOf(child) + "\n";
    }
    return texts;
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

// Waits until the main window is on the screen. The window exists, hidden,
// before its rows are loaded; it is shown only when the start-up is done, so
// a test that edits the rows must wait for that or the load overwrites them.
inline bool WaitForShownForm(RunningProgram& program, DWORD timeoutMs = 20000) {
    return program.WaitForForm(timeoutMs) &&
           WaitUntil([&] { return IsWindowVisible(program.Form()) != FALSE || !program.Running(); }, timeoutMs) &&
           IsWindowVisible(program.Form()) && program.WaitForIdle();
}

// ---- registry ----

inline std::optional<std::string> ReadStringValue(HKEY root, const std::string& subKey, const std::string& name) {
    char data[2048] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegGetValueA(root, subKey.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_REG_SZ, &type, data, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(data);
}

inline bool WriteStringValue(HKEY root, const std::string& subKey, const std::string& name, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG result = RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

inline void DeleteValue(HKEY root, const std::string& subKey, const std::string& name) {
    RegDeleteKeyValueA(root, subKey.c_str(), name.c_str());
}

// Puts a string value back as it was when the guard was made, or removes it
// if there was none: the tests run in a private prefix, but each test still
// leaves the registry as it found it.
class RestoreValue {
public:
    RestoreValue(HKEY root, std::string subKey, std::string name)
        : root_(root), subKey_(std::move(subKey)), name_(std::move(name)), saved_(ReadStringValue(root_, subKey_, name_)) {}
    ~RestoreValue() {
        if (saved_) {
            WriteStringValue(root_, subKey_, name_, *saved_);
        } else {
            DeleteValue(root_, subKey_, name_);
        }
    }
    RestoreValue(const RestoreValue&) = delete;
    RestoreValue& operator=(const RestoreValue&) = delete;

private:
    HKEY root_;
    std::string subKey_;
    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace brimlow::e2e

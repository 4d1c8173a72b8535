#include "common_dialog.h"

#include <commdlg.h>

#include <vector>

#include "paths.h"

namespace brimlow::win {
namespace {

// The dialog takes pairs separated by NULs and ends with two.
std::string FilterForDialog(const std::string& filter) {
    std::string pairs = filter;
    for (char& c : pairs) {
        if (c == '|') c = '\0';
    }
    pairs.push_back('\0');
    pairs.push_back('\0');
    return pairs;
}

using DialogFunction = BOOL(WINAPI*)(LPOPENFILENAMEA);

// comdlg32 brings the printing libraries in with it; binding it when the
// first dialog opens keeps all three out of every start-up, where they cost
// about a fifth of the time and memory of the program's start. The library
// stays loaded for the rest of the run.
DialogFunction DialogFunctionFor(bool save) {
    HMODULE library = SystemLibrary("comdlg32.dll");
    if (library == nullptr) return nullptr;
    return reinterpret_cast<DialogFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, save ? "GetSaveFileNameA" : "GetOpenFileNameA")));
}

// The open dialog may leave the current directory in the folder the user
// browsed to, whatever OFN_NOCHANGEDIR asks; a target named without a folder
// ("notepad.exe") would then be looked for first in, say, Downloads. The
// directory is put back as it was.
BOOL ShowKeepingCurrentDirectory(DialogFunction dialog, LPOPENFILENAMEA ofn) {
    std::vector<wchar_t> before(MAX_PATH);
    DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(before.size()), before.data());
    if (length >= before.size()) {
        before.resize(length);
        length = GetCurrentDirectoryW(static_cast<DWORD>(before.size()), before.data());
    }
    const BOOL chosen = dialog(ofn);
    if (length != 0 && length < before.size()) SetCurrentDirectoryW(before.data());
    return chosen;
}

}  // namespace

bool CommonDialog::ShowOpen(HWND owner) { return Show(owner, false); }

bool CommonDialog::ShowSave(HWND owner) { return Show(owner, true); }

bool CommonDialog::Show(HWND owner, bool save) {
    const std::string filter = FilterForDialog(Filter);
    std::vector<char> name(32768, '\0');
    FileName.copy(name.data(), name.size() - 1);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    // No title, folder or default extension: a name typed without one is
    // used exactly as typed.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;

    // Without the library no dialog can show; that reads as a cancel.
    const DialogFunction dialog = DialogFunctionFor(save);
    const BOOL chosen = dialog != nullptr && ShowKeepingCurrentDirectory(dialog, &ofn);
    if (!chosen) return false;
    FileName = name.data();
    return true;
}

}  // namespace brimlow::win

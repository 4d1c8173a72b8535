#include "common_dialog.h"

#include <commdlg.h>

#include <vector>

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
    // used exactly as typed. The current directory stays where it was.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;

    const BOOL chosen = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!chosen) return false;
    FileName = name.data();
    return true;
}

}  // namespace brimlow::win

#pragma once
// The About box: the program icon, "Brimlow" and the version, shown modal and
// owned by the main window.

#include <windows.h>

#include <string>

#include "handles.h"

namespace brimlow {

class frmAbout {
public:
    // versionFile: the executable whose version information gives the
    // version line; the running program by default.
    explicit frmAbout(HINSTANCE instance, std::string versionFile = std::string());

    // Returns when the box has been closed; the owner takes no input meanwhile.
    void ShowModal(HWND owner);

    // "Version <major>.<minor>" from the version information, or "" if the
    // file has none.
    static std::string VersionLine(const std::string& file);

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Form_Load(HWND hwnd);
    void cmdOK_Click(HWND hwnd);

    HINSTANCE instance_;
    std::string versionFile_;
    win::UniqueGdi font_;
    win::UniqueGdi titleFont_;
};

}  // namespace brimlow

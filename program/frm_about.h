#pragma once
// The About box: the program icon, "Brimlow" and the version, shown modal and
// owned by the main window.

#include <windows.h>

#include <string>

#include "gui.h"
#include "handles.h"

namespace brimlow {

class frmAbout {
public:
    // versionFile: the executable whose version information gives the
    // version line; the running program by default.
    explicit frmAbout(HINSTANCE instance, std::string versionFile = std::string());

    // Opens the box centred on its owner, laid out for the owner's DPI, and
    // returns when it has been closed; the owner takes no input meanwhile.
    void ShowModal(HWND owner, int dpi);

    // "Version <major>.<minor>" from the version information, or "" if the
    // file has none.
    static std::string VersionLine(const std::string& file);

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Form_Load(HWND hwnd);
    void cmdOK_Click(HWND hwnd);
    // Fonts, icons, the controls' places and the frame for this DPI; the
    // frame's top left corner where given, else centred on the owner.
    void LayOut(HWND hwnd, int dpi, const POINT* topLeft);

    HINSTANCE instance_;
    std::string versionFile_;
    HWND owner_ = nullptr;
    int dpi_ = 96;
    win::UniqueGdi font_;
    win::UniqueGdi titleFont_;
    win::UniqueIcon image_;
    win::WindowIcons icons_;
};

}  // namespace brimlow

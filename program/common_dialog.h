#pragma once
// CommonDialog1: the one file dialog of the main window. Target selection and
// the Open and Save commands share it, and its file name carries over from
// one use to the next: a later dialog opens with the name the last one left.

#include <windows.h>

#include <string>

namespace brimlow::win {

class CommonDialog {
public:
    // "Description|pattern|Description|pattern", as the callers write it.
    std::string Filter;
    std::string FileName;

    // Both return true when the user chose a file (FileName then holds it);
    // cancelling leaves FileName as it was.
    bool ShowOpen(HWND owner);
    bool ShowSave(HWND owner);

private:
    bool Show(HWND owner, bool save);
};

}  // namespace brimlow::win

#pragma once
// Names for screen readers where a control's own text does not say what it
// is. A screen reader names an edit or combo box after the text label that
// comes just before it among the window's children, so each row box gets a
// hidden label of its own, made just before the box. A check box is named by
// its caption, and every row's caption is "Active"; its row number reaches
// the reader through the accessibility property service where the platform
// has one.

#include <windows.h>

#include <array>
#include <cstddef>

#include "handles.h"
#include "row_controls.h"

struct IAccPropServices;

namespace brimlow::win {

// A control's name, in a buffer of its own: the names are short.
struct ControlName {
    std::array<wchar_t, 48> text{};
};

// "Row 3 letter": the rows counted from 1, as people count them.
ControlName RowName(int row, const char* what);

// A label no one sees and Tab skips, only there to name the control made
// next.
HWND MakeNameLabel(HWND parent, HINSTANCE instance, const ControlName& name);

// The names given through the property service, one per row's Active box.
class AccessibleNames {
public:
    AccessibleNames() = default;
    ~AccessibleNames() { Clear(); }
    AccessibleNames(const AccessibleNames&) = delete;
    AccessibleNames& operator=(const AccessibleNames&) = delete;

    // Remembers the name for a control; given by Apply.
    void Add(int row, HWND control, const ControlName& name);
    // Loads the service (oleacc.dll, from System32 only) and gives every
    // remembered name. Silent where there is no service, or where it refuses
    // (Wine answers E_NOTIMPL): the control keeps its caption as its name.
    void Apply();
    // Takes the names back and lets the service go: the service would
    // otherwise keep them for windows that are gone.
    void Clear();

private:
    struct Entry {
        HWND control = nullptr;
        ControlName name;
    };
    std::array<Entry, kRowCount> entries_{};
    UniqueModule oleacc_;
    IAccPropServices* services_ = nullptr;
    bool applied_ = false;
};

}  // namespace brimlow::win

#include "accessible_names.h"

// The property service's ids are defined here, the one place they are used:
// the ids of MinGW's oleacc library are not the ones Wine's oleacc answers to.
#include <initguid.h>
#include <oleacc.h>

namespace brimlow::win {

ControlName RowName(int row, const char* what) {
    ControlName name;
    std::size_t at = 0;
    const auto put = [&](char c) {
        if (at + 1 < name.text.size()) name.text[at++] = static_cast<wchar_t>(static_cast<unsigned char>(c));
    };
    for (const char* c = "Row "; *c != '\0'; ++c) put(*c);
    const int number = row + 1;
    if (number >= 10) put(static_cast<char>('0' + number / 10));
    put(static_cast<char>('0' + number % 10));
    put(' ');
    for (const char* c = what; *c != '\0'; ++c) put(*c);
    return name;
}

HWND MakeNameLabel(HWND parent, HINSTANCE instance, const ControlName& name) {
    // Without WS_VISIBLE and WS_TABSTOP: nothing shows and the Tab order
    // stays the boxes'. SS_NOPREFIX keeps an ampersand from ever becoming a
    // mnemonic of the dialog navigation.
    return CreateWindowExW(0, L"STATIC", name.text.data(), WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, parent,
                           nullptr, instance, nullptr);
}

void AccessibleNames::Add(int row, HWND control, const ControlName& name) {
    entries_[static_cast<std::size_t>(row)] = Entry{control, name};
}

void AccessibleNames::Apply() {
    if (applied_) return;
    applied_ = true;
    oleacc_.Reset(LoadLibraryExA("oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!oleacc_) return;
    void* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                &services)) ||
        services == nullptr) {
        oleacc_.Reset();
        return;
    }
    services_ = static_cast<IAccPropServices*>(services);
    for (const Entry& entry : entries_) {
        if (entry.control == nullptr) continue;
        // A refusal changes nothing the user relies on: the caption names
        // the box as before.
        (void)services_->SetHwndPropStr(entry.control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                        PROPID_ACC_NAME, entry.name.text.data());
    }
}

void AccessibleNames::Clear() {
    if (services_ != nullptr) {
        for (const Entry& entry : entries_) {
            if (entry.control == nullptr) continue;
            (void)services_->ClearHwndProps(entry.control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                            &PROPID_ACC_NAME, 1);
        }
        services_->Release();
        services_ = nullptr;
    }
    entries_ = {};
    applied_ = false;
    oleacc_.Reset();
}

}  // namespace brimlow::win

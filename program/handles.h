#pragma once
// Owners for every Win32 handle the program opens, so "closed after every
// use" holds by construction. Each kind counts its live handles, which the
// soak checks read to prove nothing leaks.

#include <windows.h>

#include <utility>

namespace brimlow::win {

template <typename Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() = default;
    explicit Unique(Handle handle) : handle_(handle) {
        if (Valid()) ++live_;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, Traits::Invalid());
        }
        return *this;
    }
    ~Unique() { Reset(); }

    Handle Get() const { return handle_; }
    bool Valid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return Valid(); }

    void Reset(Handle handle = Traits::Invalid()) {
        if (Valid()) {
            Traits::Close(handle_);
            --live_;
        }
        handle_ = handle;
        if (Valid()) ++live_;
    }

    // Handles of this kind that are open right now, program-wide.
    static long LiveCount() { return live_; }

private:
    Handle handle_ = Traits::Invalid();
    static inline long live_ = 0;
};

struct KeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};
struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DestroyIcon(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { FreeLibrary(h); }
};
struct FileTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
// Kernel objects whose failure value is null (mutexes, file mappings),
// unlike files, whose failure value is INVALID_HANDLE_VALUE.
struct KernelTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { CloseHandle(h); }
};
struct ViewTraits {
    using Handle = void*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { UnmapViewOfFile(h); }
};
struct AcceleratorTraits {
    using Handle = HACCEL;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DestroyAcceleratorTable(h); }
};
struct GdiTraits {
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DeleteObject(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DestroyMenu(h); }
};
// A folder's change notification, which has a closing call of its own.
struct ChangeNotificationTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindCloseChangeNotification(h); }
};
// A directory search, which has a closing call of its own.
struct FindTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};
struct DcTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DeleteDC(h); }
};

using UniqueKey = Unique<KeyTraits>;
using UniqueIcon = Unique<IconTraits>;
using UniqueModule = Unique<ModuleTraits>;
using UniqueFile = Unique<FileTraits>;
using UniqueKernel = Unique<KernelTraits>;
using UniqueView = Unique<ViewTraits>;
using UniqueGdi = Unique<GdiTraits>;
using UniqueDc = Unique<DcTraits>;
using UniqueAccelerators = Unique<AcceleratorTraits>;
using UniqueMenu = Unique<MenuTraits>;
using UniqueChangeNotification = Unique<ChangeNotificationTraits>;
using UniqueFind = Unique<FindTraits>;

// The screen's device context for one drawing, released at the end of the
// scope: GetDC's handles go back through ReleaseDC, not DeleteDC.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// Selects an object into a device context for one scope and puts the old one
// back, so the object can be deleted afterwards.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, old_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace brimlow::win

#include "single_instance.h"

#include "instance_name.h"
#include "paths.h"

namespace brimlow::win {

struct SingleInstance::Published {
    // The main window, 0 until it is ready; written after the process id, so
    // a reader that sees a window also sees whose it is.
    volatile LONG64 window;
    volatile LONG processId;
};

namespace {

// Runs a Win32 call that fills a wide buffer and answers the length it
// needs when the buffer is too small; empty on failure.
template <typename Fill>
std::wstring FilledText(Fill fill) {
    std::wstring text(MAX_PATH, L'\0');
    DWORD length = fill(text.data(), static_cast<DWORD>(text.size()));
    if (length >= text.size()) {
        text.resize(length);
        length = fill(text.data(), static_cast<DWORD>(text.size()));
    }
    if (length == 0 || length >= text.size()) return std::wstring();
    text.resize(length);
    return text;
}

std::wstring Widened(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring MappingName(const std::string& lockName) { return Widened(lockName + "-window"); }

}  // namespace

std::string SingleInstance::NameFor(const std::wstring& programFile) {
    std::wstring path = FilledText(
        [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(programFile.c_str(), size, buffer, nullptr); });
    if (path.empty()) path = programFile;
    // An 8.3 short name and the long name are one folder. A path that cannot
    // be looked up keeps its full spelling.
    const std::wstring longPath =
        FilledText([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(path.c_str(), buffer, size); });
    if (!longPath.empty()) path = longPath;
    const auto slash = path.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? path : path.substr(0, slash);
    // File names compare without regard to case.
    if (!folder.empty()) {
        std::wstring upper(folder.size(), L'\0');
        const int mapped = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, folder.c_str(),
                                         static_cast<int>(folder.size()), upper.data(), static_cast<int>(upper.size()),
                                         nullptr, nullptr, 0);
        if (mapped == static_cast<int>(folder.size())) folder = upper;
    }
    return InstanceName(std::u16string(folder.begin(), folder.end()));
}

SingleInstance::SingleInstance(const std::wstring& programFile)
    : name_(NameFor(programFile.empty() ? ModuleFileW() : programFile)) {
    mutex_.Reset(CreateMutexW(nullptr, FALSE, Widened(name_).c_str()));
    // A lock that cannot be made at all is no reason to keep the user from
    // the program: it then runs as the first copy.
    first_ = !(mutex_ && GetLastError() == ERROR_ALREADY_EXISTS);
    if (!first_) return;
    mapping_.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Published),
                                      MappingName(name_).c_str()));
    if (mapping_) view_.Reset(MapViewOfFile(mapping_.Get(), FILE_MAP_WRITE, 0, 0, sizeof(Published)));
    // A later start still waiting on a copy that has ended may hold the old
    // mapping open: what it says is not this copy's.
    if (auto* shared = static_cast<Published*>(view_.Get())) InterlockedExchange64(&shared->window, 0);
}

void SingleInstance::PublishWindow(HWND form) {
    auto* shared = static_cast<Published*>(view_.Get());
    if (!first_ || shared == nullptr) return;
    InterlockedExchange(&shared->processId, static_cast<LONG>(GetCurrentProcessId()));
    InterlockedExchange64(&shared->window, static_cast<LONG64>(reinterpret_cast<INT_PTR>(form)));
}

bool SingleInstance::ShowFirstCopy(DWORD timeoutMs) const {
    const std::wstring mappingName = MappingName(name_);
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    UniqueKernel mapping;
    UniqueView view;
    for (;;) {
        if (!view) {
            // The first copy makes the mapping just after the lock: it may
            // not be there yet.
            mapping.Reset(OpenFileMappingW(FILE_MAP_READ, FALSE, mappingName.c_str()));
            if (mapping) view.Reset(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, sizeof(Published)));
        }
        if (const auto* shared = static_cast<const Published*>(view.Get())) {
            const auto form = reinterpret_cast<HWND>(static_cast<INT_PTR>(shared->window));
            const auto processId = static_cast<DWORD>(shared->processId);
            DWORD owner = 0;
            if (form != nullptr && IsWindow(form) && GetWindowThreadProcessId(form, &owner) != 0 &&
                owner == processId) {
                // Only the process in front may hand the foreground on: this
                // one was just started by the user, so it is allowed to.
                AllowSetForegroundWindow(processId);
                return PostMessageW(form, ShowMainWindowMessage(), 0, 0) != FALSE;
            }
        }
        if (GetTickCount64() >= end) return false;
        Sleep(50);
    }
}

UINT ShowMainWindowMessage() {
    static const UINT message = RegisterWindowMessageW(L"Brimlow.ShowMainWindow");
    return message;
}

}  // namespace brimlow::win

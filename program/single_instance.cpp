#include "single_instance.h"

#include <sddl.h>

#include <cwchar>
#include <vector>

#include "gui.h"
#include "instance_name.h"
#include "object_security.h"
#include "paths.h"

namespace brimlow::win {

struct PublishedWindow::Shared {
    // The main window, 0 until it is ready; written after the process id, so
    // a reader that sees a window also sees whose it is.
    volatile LONG64 window;
    volatile LONG processId;
};

namespace {

// Wide texts live in plain NUL-terminated buffers: the wide string classes
// would add a sixth to the program's size for these few lines.
using WideText = std::vector<wchar_t>;
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 code units");

// Runs a Win32 call that fills a wide buffer and answers the length it
// needs when the buffer is too small; empty on failure.
template <typename Fill>
WideText FilledText(Fill fill) {
    WideText text(MAX_PATH);
    DWORD length = fill(text.data(), static_cast<DWORD>(text.size()));
    if (length >= text.size()) {
        text.resize(length);
        length = fill(text.data(), static_cast<DWORD>(text.size()));
    }
    if (length == 0 || length >= text.size()) return WideText();
    text.resize(length + 1);
    return text;
}

// A kernel object's name; the lock names are ASCII.
WideText ObjectName(const std::string& ascii) {
    WideText name(ascii.begin(), ascii.end());
    name.push_back(L'\0');
    return name;
}

WideText MappingName(const std::string& lockName) { return ObjectName(lockName + "-window"); }

// A copy started as administrator would otherwise make the shared memory
// with an administrator's security, which an ordinary later start of the
// same user may not read: it could then never find the window to show. The
// user's own account and the system may use it, as a copy of either starts.
class SharedWithTheAccount {
public:
    SharedWithTheAccount() {
        const std::string account = RunningAccountSid();
        if (account.empty()) return;
        const std::string sddl = "D:(A;;GA;;;SY)(A;;GA;;;" + account + ")";
        if (ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
            attributes_.lpSecurityDescriptor = descriptor_;
        }
    }
    ~SharedWithTheAccount() {
        if (descriptor_ != nullptr) LocalFree(descriptor_);
    }
    SharedWithTheAccount(const SharedWithTheAccount&) = delete;
    SharedWithTheAccount& operator=(const SharedWithTheAccount&) = delete;

    // The system's default security when the account cannot be read.
    SECURITY_ATTRIBUTES* Get() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

}  // namespace

PublishedWindow::PublishedWindow(const std::string& lockName) {
    SharedWithTheAccount security;
    mapping_.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, security.Get(), PAGE_READWRITE, 0, sizeof(Shared),
                                      MappingName(lockName).data()));
    if (mapping_) view_.Reset(MapViewOfFile(mapping_.Get(), FILE_MAP_WRITE, 0, 0, sizeof(Shared)));
    // A later start still waiting on a copy that has ended may hold the old
    // mapping open: what it says is not this copy's.
    if (auto* shared = static_cast<Shared*>(view_.Get())) InterlockedExchange64(&shared->window, 0);
}

void PublishedWindow::Publish(HWND form) {
    // The request comes from a later start, which may run without the
    // administrator's rights this copy has: the system drops messages from
    // a lower integrity level unless the window lets them through.
    ChangeWindowMessageFilterEx(form, ShowMainWindowMessage(), MSGFLT_ALLOW, nullptr);
    ChangeWindowMessageFilterEx(form, PauseHotKeysMessage(), MSGFLT_ALLOW, nullptr);
    auto* shared = static_cast<Shared*>(view_.Get());
    if (shared == nullptr) return;
    InterlockedExchange(&shared->processId, static_cast<LONG>(GetCurrentProcessId()));
    InterlockedExchange64(&shared->window, static_cast<LONG64>(reinterpret_cast<INT_PTR>(form)));
}

std::string SingleInstance::NameFor(const wchar_t* programFile) {
    WideText path = FilledText(
        [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(programFile, size, buffer, nullptr); });
    if (path.empty()) path.assign(programFile, programFile + wcslen(programFile) + 1);
    // An 8.3 short name and the long name are one folder. A path that cannot
    // be looked up keeps its full spelling.
    const WideText longPath =
        FilledText([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(path.data(), buffer, size); });
    if (!longPath.empty()) path = longPath;
    std::size_t folder = wcslen(path.data());
    while (folder > 0 && path[folder - 1] != L'\\' && path[folder - 1] != L'/') --folder;
    if (folder > 0) --folder;  // the folder without its last backslash
    // File names compare without regard to case.
    WideText upper(folder + 1);
    if (folder > 0 && LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.data(), static_cast<int>(folder),
                                    upper.data(), static_cast<int>(folder), nullptr, nullptr, 0) == static_cast<int>(folder)) {
        path = upper;
    }
    return InstanceName(std::u16string_view(reinterpret_cast<const char16_t*>(path.data()), folder));
}

SingleInstance::SingleInstance(const wchar_t* programFile)
    : name_(NameFor(programFile != nullptr ? programFile : ModuleFileW().data())) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, ObjectName(name_).data());
    const DWORD error = GetLastError();
    mutex_.Reset(mutex);
    // Opening an existing lock asks for full access to it. A copy started as
    // administrator made it with an administrator's security, which refuses
    // an ordinary start: that refusal, too, means a copy runs. A lock that
    // cannot be made for any other reason is no reason to keep the user from
    // the program: it then runs as the first copy.
    first_ = mutex_ ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED;
    if (first_) published_.emplace(name_);
}

void SingleInstance::PublishWindow(HWND form) {
    if (published_) published_->Publish(form);
}

bool SingleInstance::ShowFirstCopy(DWORD timeoutMs) const {
    if (first_) return false;
    return PublishedWindow::AskToShow(name_, timeoutMs);
}

bool SingleInstance::PauseRunningCopy(const wchar_t* programFile, bool pause, DWORD timeoutMs) {
    const std::string name = NameFor(programFile);
    {
        // Opening the lock does not take it; it only tells that a copy runs,
        // and is closed at once, so that a start of the program meanwhile
        // finds no lock of this start's. A copy started as administrator
        // refuses even to be opened, which tells the same.
        const UniqueKernel lock(OpenMutexW(SYNCHRONIZE, FALSE, ObjectName(name).data()));
        if (!lock && GetLastError() != ERROR_ACCESS_DENIED) return false;
    }
    return PublishedWindow::AskToPause(name, pause, timeoutMs);
}

bool PublishedWindow::AskToShow(const std::string& lockName, DWORD timeoutMs) {
    DWORD processId = 0;
    const HWND form = WaitForWindow(lockName, timeoutMs, processId);
    if (form == nullptr) return false;
    // Only the process in front may hand the foreground on: this one was
    // just started by the user, so it is allowed to.
    AllowSetForegroundWindow(processId);
    return PostMessageW(form, ShowMainWindowMessage(), 0, 0) != FALSE;
}

bool PublishedWindow::AskToPause(const std::string& lockName, bool pause, DWORD timeoutMs) {
    DWORD processId = 0;
    const HWND form = WaitForWindow(lockName, timeoutMs, processId);
    if (form == nullptr) return false;
    // Sent, not posted: the script that asked goes on once the hot keys are
    // off (a game started next gets them), and learns whether they are.
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(form, PauseHotKeysMessage(), pause ? 1 : 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &answer) != 0 &&
           answer == static_cast<DWORD_PTR>(kPauseHotKeysDone);
}

HWND PublishedWindow::WaitForWindow(const std::string& lockName, DWORD timeoutMs, DWORD& processId) {
    const WideText mappingName = MappingName(lockName);
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    UniqueKernel mapping;
    UniqueView view;
    for (;;) {
        if (!view) {
            // The first copy makes the mapping just after the lock: it may
            // not be there yet.
            mapping.Reset(OpenFileMappingW(FILE_MAP_READ, FALSE, mappingName.data()));
            if (mapping) view.Reset(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, sizeof(Shared)));
        }
        if (const auto* shared = static_cast<const Shared*>(view.Get())) {
            const auto form = reinterpret_cast<HWND>(static_cast<INT_PTR>(shared->window));
            processId = static_cast<DWORD>(shared->processId);
            DWORD owner = 0;
            if (form != nullptr && IsWindow(form) && GetWindowThreadProcessId(form, &owner) != 0 &&
                owner == processId) {
                return form;
            }
        }
        if (GetTickCount64() >= end) return nullptr;
        Sleep(50);
    }
}

UINT ShowMainWindowMessage() {
    static std::atomic<UINT> message{0};
    return RegisteredMessage(message, L"Brimlow.ShowMainWindow");
}

UINT PauseHotKeysMessage() {
    static std::atomic<UINT> message{0};
    return RegisteredMessage(message, L"Brimlow.PauseHotKeys");
}

}  // namespace brimlow::win

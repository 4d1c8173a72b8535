#include "module1.h"

#include "win_errors.h"

namespace brimlow::Module1 {

Ostrad::Ostrad(std::string programFolder) : libraryPath_(std::move(programFolder) + "\\" + kLauncherFileName) {}

Status Ostrad::Bind() {
    win::UniqueModule module(
        LoadLibraryExA(libraryPath_.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!module) {
        const DWORD code = GetLastError();
        const int number = win::ErrorNumberForFile(code) == error_number::kFileNotFound ? error_number::kFileNotFound
                                                                                          : error_number::kBadDllLoad;
        return Error{number, "Cannot load the launcher library " + libraryPath_ + ": " + win::SystemMessage(code) + "."};
    }
    auto* address = GetProcAddress(module.Get(), kLauncherExport);
    if (address == nullptr) {
        return Error{error_number::kDllEntryMissing,
                     "The launcher library " + libraryPath_ + " has no function " + kLauncherExport + "."};
    }
    function_ = reinterpret_cast<OstradFunction>(reinterpret_cast<void*>(address));
    module_ = std::move(module);
    return std::nullopt;
}

Status Ostrad::Call(const std::string& file, std::int16_t showCmd, const std::string& directory, LONG* result) {
    if (function_ == nullptr) {
        if (Status failed = Bind()) return failed;
    }
    const LONG value = function_(file.c_str(), showCmd, directory.c_str());
    if (result != nullptr) *result = value;
    return std::nullopt;
}

}  // namespace brimlow::Module1

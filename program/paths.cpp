#include "paths.h"

#include <vector>

namespace brimlow::win {

// A buffer that grows until the name fits (a folder deeper than MAX_PATH);
// only the NUL on failure.
std::vector<wchar_t> ModuleFileW(HMODULE module) {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::vector<wchar_t>(1);
        if (length < path.size()) {
            path.resize(length + 1);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Through the wide call: the ANSI one fails outright, rather than growing,
// when the name fits its buffer in characters but not in UTF-8 bytes.
std::string ModuleFile(HMODULE module) { return FromWide(ModuleFileW(module).data()); }

std::string ModuleFolder(HMODULE module) {
    const std::string path = ModuleFile(module);
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

HMODULE SystemLibrary(const char* name) {
    HMODULE loaded = GetModuleHandleA(name);
    return loaded != nullptr ? loaded : LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

std::wstring ToWide(std::string_view text) {
    const int size = static_cast<int>(text.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string FromWide(std::wstring_view wide) {
    const int length = static_cast<int>(wide.size());
    std::string text(static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    return text;
}

}  // namespace brimlow::win

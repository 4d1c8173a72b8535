#include "paths.h"

namespace brimlow::win {
namespace {

// The module's file name through the ANSI or the wide call, in a buffer that
// grows until the name fits (a folder deeper than MAX_PATH); empty on failure.
template <typename Char, typename Get>
std::basic_string<Char> ModulePath(HMODULE module, Get get) {
    std::basic_string<Char> path(MAX_PATH, Char{});
    for (;;) {
        const DWORD length = get(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::string ModuleFolder(HMODULE module) {
    const std::string path = ModulePath<char>(module, GetModuleFileNameA);
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::wstring ModuleFileW(HMODULE module) { return ModulePath<wchar_t>(module, GetModuleFileNameW); }

}  // namespace brimlow::win

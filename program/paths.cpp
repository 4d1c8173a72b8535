#include "paths.h"

#include <vector>

namespace brimlow::win {
namespace {

// The module's file name through the ANSI or the wide call, NUL-terminated,
// in a buffer that grows until the name fits (a folder deeper than MAX_PATH);
// only the NUL on failure.
template <typename Char, typename Get>
std::vector<Char> ModulePath(HMODULE module, Get get) {
    std::vector<Char> path(MAX_PATH);
    for (;;) {
        const DWORD length = get(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::vector<Char>(1);
        if (length < path.size()) {
            path.resize(length + 1);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::string ModuleFolder(HMODULE module) {
    const std::string path = ModulePath<char>(module, GetModuleFileNameA).data();
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::vector<wchar_t> ModuleFileW(HMODULE module) { return ModulePath<wchar_t>(module, GetModuleFileNameW); }

}  // namespace brimlow::win

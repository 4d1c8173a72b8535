#pragma once
// The external function the program calls: Ostrad in Ostrad.dll, bound at run
// time by name on first use.

#include <windows.h>

#include <cstdint>
#include <string>

#include "error.h"
#include "handles.h"

namespace brimlow::Module1 {

inline constexpr const char* kLauncherFileName = "Ostrad.dll";
inline constexpr const char* kLauncherExport = "Ostrad";

using OstradFunction = LONG(WINAPI*)(LPCSTR file, SHORT showCmd, LPCSTR directory);

class Ostrad {
public:
    // The library is looked for in this folder only (and the system folder
    // for what it depends on): a planted Ostrad.dll in the current directory
    // or on PATH must never run with the user's rights.
    explicit Ostrad(std::string programFolder);

    // Binds on the first call. A failed load or look-up is not remembered, so
    // putting the library back makes the next call work without a restart.
    Status Call(const std::string& file, std::int16_t showCmd, const std::string& directory, LONG* result = nullptr);

    const std::string& LibraryPath() const { return libraryPath_; }

private:
    Status Bind();

    std::string libraryPath_;
    win::UniqueModule module_;
    OstradFunction function_ = nullptr;
};

}  // namespace brimlow::Module1

#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace brimlow::win {

// The module's full file name in the process's code page (UTF-8), however
// long; "" if the system cannot tell.
std::string ModuleFile(HMODULE module = nullptr);

// The folder the module runs from, without a trailing backslash; every file
// name of the program is this folder followed by "\name".
std::string ModuleFolder(HMODULE module = nullptr);

// The module's full file name as the system spells it, in UTF-16 and
// NUL-terminated.
std::vector<wchar_t> ModuleFileW(HMODULE module = nullptr);

// Text in the process's code page (UTF-8) to UTF-16 and back. The file calls
// are made wide: only they take a path longer than MAX_PATH (the manifest is
// longPathAware); the ANSI calls refuse one with ERROR_FILENAME_EXCED_RANGE.
std::wstring ToWide(std::string_view text);
std::string FromWide(std::wstring_view wide);

// A system library bound on first use, from System32 only; the one already
// loaded after that.
HMODULE SystemLibrary(const char* name);

}  // namespace brimlow::win

#pragma once

#include <windows.h>

#include <string>

namespace brimlow::win {

// The folder the module runs from, without a trailing backslash; every file
// name of the program is this folder followed by "\name".
std::string ModuleFolder(HMODULE module = nullptr);

}  // namespace brimlow::win

#pragma once
// The code pages at the file boundary. The program runs in UTF-8 (its
// manifest asks for it), but tables written by earlier versions are in the
// system's legacy ANSI code page, which the shortcuts reader decodes once.

#include "shortcuts_file.h"

namespace brimlow::win {

// The system locale's ANSI code page, which is not CP_ACP once the process
// runs in UTF-8, with a converter of its lines to UTF-8. On a system that
// ignores the manifest the process already runs in that code page, and the
// lines are taken as they are.
LegacyCodePage SystemLegacyCodePage();

}  // namespace brimlow::win

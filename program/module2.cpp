#include "module2.h"

#include <windows.h>
#include <commctrl.h>

namespace brimlow::Module2 {

void InitCommonCtrls() noexcept {
    INITCOMMONCONTROLSEX request{};
    request.dwSize = 8;
    request.dwICC = ICC_USEREX_CLASSES;
    InitCommonControlsEx(&request);
}

}  // namespace brimlow::Module2

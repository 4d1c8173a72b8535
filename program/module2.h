#pragma once

namespace brimlow::Module2 {

// Registers the extended combo box class. Every failure is ignored: the
// program works without it.
void InitCommonCtrls() noexcept;

}  // namespace brimlow::Module2

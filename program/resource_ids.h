#pragma once
// Resource identifiers, shared by the .rc file and the code.

#define BRIMLOW_IDI_PROGRAM 1

#ifdef __cplusplus
namespace brimlow::ids {
inline constexpr int kProgramIcon = BRIMLOW_IDI_PROGRAM;
}
#endif

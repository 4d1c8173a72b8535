#pragma once
// Resource identifiers, shared by the .rc file and the code.

#define BRIMLOW_IDI_PROGRAM 1
// The notification icon while the hot keys are paused.
#define BRIMLOW_IDI_PAUSED 2

#ifdef __cplusplus
namespace brimlow::ids {
inline constexpr int kProgramIcon = BRIMLOW_IDI_PROGRAM;
inline constexpr int kPausedIcon = BRIMLOW_IDI_PAUSED;
}
#endif

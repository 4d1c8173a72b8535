#pragma once
// Timestamps of the start-up's steps, for the benchmark's start-up trace.
// Only a build made with BRIMLOW_STARTUP_TRACE records them (the benchmark
// builds such a copy of the program beside the real one); in the shipped
// program every mark compiles to nothing.

#ifdef BRIMLOW_STARTUP_TRACE

namespace brimlow::trace {

// Notes the time of a step, in milliseconds since the process was created.
void Mark(const char* step) noexcept;

// Appends every mark, one "step<TAB>milliseconds" line each, to the file
// named by the environment variable BRIMLOW_STARTUP_TRACE_FILE.
void Write() noexcept;

}  // namespace brimlow::trace

#define BRIMLOW_TRACE_MARK(step) ::brimlow::trace::Mark(step)
#define BRIMLOW_TRACE_WRITE() ::brimlow::trace::Write()

#else

#define BRIMLOW_TRACE_MARK(step) ((void)0)
#define BRIMLOW_TRACE_WRITE() ((void)0)

#endif

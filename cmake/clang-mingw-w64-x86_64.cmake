# A second compiler for the Windows code: Debian's clang, targeting MinGW-w64
# against the same headers and libstdc++ as the GCC build. scripts/test.sh
# compiles the program and the DLL with it (warnings fatal) so that a
# construct only GCC accepts is caught before it reaches a Windows compiler
# nobody here runs. Compile-only: the objects are never linked or shipped.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRIMLOW_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${BRIMLOW_MINGW_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${BRIMLOW_MINGW_TARGET})
set(CMAKE_RC_COMPILER ${BRIMLOW_MINGW_TARGET}-windres)

# clang finds the MinGW-w64 C headers by itself, but not GCC's libstdc++
# headers for the target: the posix thread model's, as the GCC build uses.
file(GLOB BRIMLOW_MINGW_GCC_DIRS LIST_DIRECTORIES true /usr/lib/gcc/${BRIMLOW_MINGW_TARGET}/*-posix)
list(GET BRIMLOW_MINGW_GCC_DIRS 0 BRIMLOW_MINGW_GCC_DIR)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${BRIMLOW_MINGW_GCC_DIR}/include/c++ -isystem ${BRIMLOW_MINGW_GCC_DIR}/include/c++/${BRIMLOW_MINGW_TARGET} -isystem ${BRIMLOW_MINGW_GCC_DIR}/include/c++/backward")

# Linking a C++ program would need the posix thread library spelled out for
# clang; the check needs objects only.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH /usr/${BRIMLOW_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# GoogleTest built for MinGW from Debian's sources (package googletest).
include_guard(GLOBAL)
set(BRIMLOW_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")
add_library(brimlow_gtest STATIC ${BRIMLOW_GTEST_SOURCE}/src/gtest-all.cc)
target_include_directories(brimlow_gtest SYSTEM PUBLIC ${BRIMLOW_GTEST_SOURCE}/include)
# The tests' own helpers (tests/support/).
target_include_directories(brimlow_gtest PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_include_directories(brimlow_gtest PRIVATE ${BRIMLOW_GTEST_SOURCE})


target_compile_definitions(brimlow_gtest PUBLIC GTEST_HAS_PTHREAD=0)
target_link_options(brimlow_gtest INTERFACE -static -static-libgcc -static-libstdc++)
add_library(brimlow_gtest_main STATIC ${BRIMLOW_GTEST_SOURCE}/src/gtest_main.cc)
target_link_libraries(brimlow_gtest_main PUBLIC brimlow_gtest)

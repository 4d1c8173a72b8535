# GoogleTest built for MinGW from Debian's sources (package googletest), the
# tests' shared helpers (tests/support/), and the one way a Windows test
# program is built and registered with ctest.
include_guard(GLOBAL)
set(BRIMLOW_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")
add_library(brimlow_gtest STATIC ${BRIMLOW_GTEST_SOURCE}/src/gtest-all.cc)
target_include_directories(brimlow_gtest SYSTEM PUBLIC ${BRIMLOW_GTEST_SOURCE}/include)
# "support/..." includes resolve from tests/.
target_include_directories(brimlow_gtest PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_include_directories(brimlow_gtest PRIVATE ${BRIMLOW_GTEST_SOURCE})
target_compile_definitions(brimlow_gtest PUBLIC GTEST_HAS_PTHREAD=0)
target_link_options(brimlow_gtest INTERFACE -static -static-libgcc -static-libstdc++)
add_library(brimlow_gtest_main STATIC ${BRIMLOW_GTEST_SOURCE}/src/gtest_main.cc)
target_link_libraries(brimlow_gtest_main PUBLIC brimlow_gtest)

file(GLOB BRIMLOW_TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(brimlow_test_support STATIC ${BRIMLOW_TEST_SUPPORT_SOURCES})
target_link_libraries(brimlow_test_support PUBLIC brimlow_win brimlow_gtest psapi)
target_compile_options(brimlow_test_support PRIVATE ${BRIMLOW_WARNINGS})

# brimlow_wine_test(NAME SOURCE source PREFIX prefix [TEST ctest name] [FOLDER sub-folder]
#                   [SYSTEM_CODE_PAGE] [LIBRARIES ...] [DEPENDS targets...]
#                   [PROPERTIES ctest properties...])
# Builds the test program NAME from one source and registers it with ctest
# as PREFIX.NAME (or TEST), run under Wine in the folder it is built into:
# the bin folder, where program.exe and Ostrad.dll are, or FOLDER below it.
# The test runs in UTF-8, as the program does, unless SYSTEM_CODE_PAGE asks
# for the system's ANSI code page (for code that must also work there).
function(brimlow_wine_test name)
  cmake_parse_arguments(TEST "SYSTEM_CODE_PAGE" "SOURCE;PREFIX;TEST;FOLDER" "LIBRARIES;DEPENDS;PROPERTIES" ${ARGN})
  set(folder ${BRIMLOW_BIN_DIR})
  if(TEST_FOLDER)
    set(folder ${BRIMLOW_BIN_DIR}/${TEST_FOLDER})
  endif()
  if(NOT TEST_TEST)
    set(TEST_TEST ${TEST_PREFIX}.${name})
  endif()
  if(TEST_SYSTEM_CODE_PAGE)
    add_executable(${name} ${TEST_SOURCE})
  else()
    add_executable(${name} ${TEST_SOURCE} ${CMAKE_SOURCE_DIR}/tests/support/utf8_code_page.rc)
    set_property(SOURCE ${CMAKE_SOURCE_DIR}/tests/support/utf8_code_page.rc APPEND PROPERTY OBJECT_DEPENDS
                 ${CMAKE_SOURCE_DIR}/tests/support/utf8_code_page.manifest ${CMAKE_SOURCE_DIR}/program/res/program.ico
                 ${CMAKE_SOURCE_DIR}/program/res/paused.ico)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/program/res)
  endif()
  target_link_libraries(${name} PRIVATE ${TEST_LIBRARIES} brimlow_test_support brimlow_gtest_main)
  target_compile_options(${name} PRIVATE ${BRIMLOW_WARNINGS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${folder})
  add_dependencies(${name} Ostrad ${TEST_DEPENDS})
  add_test(NAME ${TEST_TEST} COMMAND ${name} WORKING_DIRECTORY ${folder})
  set_tests_properties(${TEST_TEST} PROPERTIES TIMEOUT 240 ${TEST_PROPERTIES})
endfunction()

# One test executable per test folder: under Wine every executable costs one Wine start,
# so the folders, not the single test cases, are what CTest runs.

if(CMAKE_CROSSCOMPILING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(GTEST_TARGETS gtest)
else()
  find_package(GTest REQUIRED)
  set(GTEST_TARGETS GTest::gtest)
endif()

add_library(test_support STATIC tests/support/test_main.cpp tests/support/test_support.cpp)
target_link_libraries(test_support PUBLIC updater_core ${GTEST_TARGETS})
target_include_directories(test_support PUBLIC tests)

if(CMAKE_CROSSCOMPILING)
  set(WINE_PREFIX_DIR ${CMAKE_BINARY_DIR}/wineprefix)
  add_test(NAME wine_prefix
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/cmake/prepare-wine-prefix.sh ${WINE_PREFIX_DIR})
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  add_test(NAME wine_server_stop
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/cmake/prepare-wine-prefix.sh ${WINE_PREFIX_DIR} stop)
  set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
endif()

# Sets what every test of this build needs: the Wine prefix of its own under Wine, the
# source and build folders, and where GoogleTest writes the results that
# scripts/summarize-tests.py counts.
function(updater_test_properties name)
  set(env "UPDATER_SOURCE_DIR=${CMAKE_CURRENT_SOURCE_DIR}" "UPDATER_BINARY_DIR=${CMAKE_BINARY_DIR}")
  set(results "${CMAKE_BINARY_DIR}/test-results/${name}.xml")
  if(CMAKE_CROSSCOMPILING)
    # A UTF-8 locale, or Wine reads file names that are not ASCII wrongly.
    list(APPEND env "WINEPREFIX=${WINE_PREFIX_DIR}" "WINEDEBUG=-all" "GTEST_OUTPUT=xml:Z:${results}" "LANG=C.UTF-8"
                    "LC_ALL=C.UTF-8")
  else()
    list(APPEND env "GTEST_OUTPUT=xml:${results}")
  endif()
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()

set(UNIT_TEST_FOLDERS text run os commands/file commands/system check make)
foreach(folder ${UNIT_TEST_FOLDERS})
  file(GLOB sources CONFIGURE_DEPENDS tests/${folder}/*_test.cpp)
  if(sources)
    string(REPLACE "/" "_" name "${folder}_tests")
    add_executable(${name} ${sources} ${UPDATER_RESOURCES})
    target_link_libraries(${name} PRIVATE test_support)
    if(folder STREQUAL "make" OR folder STREQUAL "commands/system")
      target_link_libraries(${name} PRIVATE update_maker)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    updater_test_properties(${name})
  endif()
endforeach()

if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/e2e.cmake)
  include(${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/e2e.cmake)
endif()
include(${CMAKE_CURRENT_SOURCE_DIR}/tests/helpers/helpers.cmake OPTIONAL)
include(${CMAKE_CURRENT_SOURCE_DIR}/tests/unprivileged/unprivileged.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/tests/crash/crash.cmake)

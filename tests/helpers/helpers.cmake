# Small programs that the process tests start: write_args (writes its arguments into a file)
# and sleep_ms (runs for a while). Console programs on Windows, which matters: Windows never
# finds a console program ready for input.

set(UPDATER_HELPER_DIR ${CMAKE_BINARY_DIR}/tests/helpers)
foreach(helper write_args sleep_ms hold_file)
  add_executable(${helper} ${CMAKE_CURRENT_LIST_DIR}/${helper}.cpp)
  set_target_properties(${helper} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${UPDATER_HELPER_DIR})
endforeach()

# The patch maker and applier file to file, for scripts/bench-patches (Linux build).
if(NOT WIN32)
  add_executable(patch_tool ${CMAKE_CURRENT_LIST_DIR}/patch_tool.cpp)
  target_link_libraries(patch_tool PRIVATE update_maker)
  set_target_properties(patch_tool PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${UPDATER_HELPER_DIR})
endif()

# A library that marks every load of itself: planted beside the updater under the names of
# system libraries by the end-to-end tests (Windows only).
if(WIN32)
  add_library(planted SHARED ${CMAKE_CURRENT_LIST_DIR}/planted_dll.cpp)
  set_target_properties(planted PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${UPDATER_HELPER_DIR})
endif()

# The tests run under Wine on the Windows build, where the build folder lies on drive Z:.
if(CMAKE_CROSSCOMPILING)
  set(helper_dir_seen "Z:${UPDATER_HELPER_DIR}")
else()
  set(helper_dir_seen "${UPDATER_HELPER_DIR}")
endif()
foreach(tests commands_system_tests commands_file_tests os_tests)
  if(TARGET ${tests})
    add_dependencies(${tests} write_args sleep_ms hold_file)
    target_compile_definitions(${tests} PRIVATE UPDATER_HELPER_DIR="${helper_dir_seen}"
                                                UPDATER_HELPER_SUFFIX="${CMAKE_EXECUTABLE_SUFFIX}")
  endif()
endforeach()

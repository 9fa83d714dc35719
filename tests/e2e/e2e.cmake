# End-to-end tests: the built updater run on the scenarios of tests/e2e/scenarios, natively
# through the terminal, and for the Windows build under Wine through box_driver.exe.

if(CMAKE_CROSSCOMPILING)
  # A console program: its report goes to standard output, which Wine hands to the harness.
  add_executable(box_driver ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/box_driver.cpp)
  target_link_libraries(box_driver PRIVATE user32 gdi32 shell32)
  set(E2E_PLATFORM windows)
else()
  set(E2E_PLATFORM posix)
endif()

# Debian's own interpreter: the harness needs nothing beyond its standard library.
find_program(E2E_PYTHON NAMES python3 HINTS /usr/bin REQUIRED)

# The updater with its rights told by a file beside it: Wine's programs are all elevated.
add_executable(updater-rights-seam WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/src/main/${OS_DIR}/updater_main.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/rights_seam.cpp ${UPDATER_RESOURCES})
target_link_libraries(updater-rights-seam PRIVATE updater_core)

# The updater with calls of one name slowed by a file beside it: a copy that lasts seconds.
add_executable(updater-throttle-seam WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/src/main/${OS_DIR}/updater_main.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/throttle_seam.cpp ${UPDATER_RESOURCES})
target_link_libraries(updater-throttle-seam PRIVATE updater_core)

# Scenarios of one Windows build alone (what a 32-bit program sees on 64-bit Windows) name it.
if(NOT CMAKE_CROSSCOMPILING)
  set(E2E_VARIANT posix)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(E2E_VARIANT windows32)
else()
  set(E2E_VARIANT windows64)
endif()

if(TARGET updater)
  add_test(NAME e2e
           COMMAND ${E2E_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/run_e2e.py
                   --build ${CMAKE_BINARY_DIR} --platform ${E2E_PLATFORM} --variant ${E2E_VARIANT})
  updater_test_properties(e2e)

  # Runs killed half-way and started again (ROLLBACK=1), and replacements killed half-written.
  add_test(NAME interruptions
           COMMAND ${E2E_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/run_interruptions.py
                   --build ${CMAKE_BINARY_DIR} --platform ${E2E_PLATFORM})
  updater_test_properties(interruptions)
endif()

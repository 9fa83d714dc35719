# The crash explorer (Linux only): power cuts at every moment of reference updates, under a
# persistence model. It needs strace, the identity shim below, and builds of the updater with
# a fault put in on purpose, which it must catch, so that it can never go blind unseen.

if(NOT CMAKE_CROSSCOMPILING AND TARGET updater)
  # Preloaded into an instrumented program: itself built without the sanitizers.
  add_library(identity_shim MODULE ${CMAKE_CURRENT_LIST_DIR}/identity_shim.c)
  target_compile_options(identity_shim PRIVATE -fno-sanitize=all)
  target_link_options(identity_shim PRIVATE -fno-sanitize=all)
  target_link_libraries(identity_shim PRIVATE dl)
  set_target_properties(identity_shim PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

  # Each variant: the updater with one source compiled once more with a step left out; its
  # object comes before the library, so the library's own copy of that file is not linked.
  set(crash_faults
      "flush-before-rename-left-out|src/os/posix/directory.cpp|CRASH_TEST_LEAVE_OUT_FILE_FLUSH"
      "directory-flush-left-out|src/os/posix/directory.cpp|CRASH_TEST_LEAVE_OUT_DIRECTORY_FLUSH"
      "journal-flush-left-out|src/run/journal.cpp|CRASH_TEST_LEAVE_OUT_JOURNAL_FLUSH")
  set(crash_variants)
  foreach(fault IN LISTS crash_faults)
    string(REPLACE "|" ";" parts "${fault}")
    list(GET parts 0 name)
    list(GET parts 1 source)
    list(GET parts 2 define)
    add_executable(updater-crash-fault-${name} src/main/posix/updater_main.cpp ${source})
    target_compile_definitions(updater-crash-fault-${name} PRIVATE ${define} UPDATER_VERSION="${PROJECT_VERSION}")
    target_link_libraries(updater-crash-fault-${name} PRIVATE updater_core)
    target_link_options(updater-crash-fault-${name} PRIVATE -static-libstdc++ -static-libgcc)
    list(APPEND crash_variants updater-crash-fault-${name})
  endforeach()

  add_test(NAME crash
           COMMAND ${E2E_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/crash_explorer.py --build ${CMAKE_BINARY_DIR})
  updater_test_properties(crash)
  set_tests_properties(crash PROPERTIES TIMEOUT 1200)
endif()

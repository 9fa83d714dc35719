# Delay-import libraries for the Windows build: a DLL named here is loaded the first time one
# of its functions is called, after the entry point has told Windows to look for libraries in
# the system folder only, never at start from the folder of the executable (a Downloads
# folder, where anybody's DLL may lie). Each is made from mingw-w64's own import library with
# dlltool, which writes delay-import libraries; GNU ld has no flag for it.
#
#   updater_delay_imports(<variable> dll...)   sets <variable> to the libraries to link

find_program(MINGW_NM x86_64-w64-mingw32-nm REQUIRED)
find_program(MINGW_DLLTOOL x86_64-w64-mingw32-dlltool REQUIRED)

function(updater_delay_imports out)
  set(libraries)
  foreach(dll ${ARGN})
    string(TOLOWER "${dll}" name)
    set(import /usr/x86_64-w64-mingw32/lib/lib${name}.a)
    set(definition ${CMAKE_BINARY_DIR}/delay-imports/${name}.def)
    set(library ${CMAKE_BINARY_DIR}/delay-imports/lib${name}_delay.a)
    if(NOT EXISTS ${library} OR ${import} IS_NEWER_THAN ${library})
      file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delay-imports)
      execute_process(COMMAND ${MINGW_NM} ${import} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "cannot read ${import}")
      endif()
      # Every function the import library names is an entry "__imp_<name>".
      string(REGEX MATCHALL "[ \t]I __imp_[A-Za-z0-9_@?]+" entries "${symbols}")
      set(exports)
      foreach(entry ${entries})
        string(REGEX REPLACE "^[ \t]I __imp_" "" symbol "${entry}")
        list(APPEND exports "${symbol}")
      endforeach()
      list(REMOVE_DUPLICATES exports)
      list(JOIN exports "\n  " lines)
      file(WRITE ${definition} "LIBRARY ${name}.dll\nEXPORTS\n  ${lines}\n")
      execute_process(COMMAND ${MINGW_DLLTOOL} --input-def ${definition} --dllname ${name}.dll
                              --output-delaylib ${library} RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "dlltool could not make ${library}")
      endif()
    endif()
    list(APPEND libraries ${library})
  endforeach()
  set(${out} ${libraries} PARENT_SCOPE)
endfunction()

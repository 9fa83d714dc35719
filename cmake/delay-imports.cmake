# Delay-import libraries for the Windows build: a DLL named here is loaded the first time one
# of its functions is called, after the entry point has told Windows to look for libraries in
# the system folder only, never at start from the folder of the executable (a Downloads
# folder, where anybody's DLL may lie). Each is made from mingw-w64's own import library with
# dlltool, which writes delay-import libraries; GNU ld has no flag for it.
#
#   updater_delay_imports(<variable> dll...)   sets <variable> to the libraries to link

find_program(MINGW_NM ${MINGW_TRIPLET}-nm REQUIRED)
find_program(MINGW_DLLTOOL ${MINGW_TRIPLET}-dlltool REQUIRED)

# 32-bit names carry a leading underscore and, for the system's stdcall functions, their
# arguments' size ("_CreateFileW@28"): the definition names them without the underscore, which
# dlltool puts back, and --kill-at imports them by the DLL's own undecorated names.
if(MINGW_PROCESSOR STREQUAL "i686")
  set(decorated_names TRUE)
  set(dlltool_naming --kill-at)
else()
  set(decorated_names FALSE)
  set(dlltool_naming)
endif()

function(updater_delay_imports out)
  set(libraries)
  foreach(dll ${ARGN})
    string(TOLOWER "${dll}" name)
    set(import /usr/${MINGW_TRIPLET}/lib/lib${name}.a)
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
        if(decorated_names)
          string(REGEX REPLACE "^_" "" symbol "${symbol}")
        endif()
        list(APPEND exports "${symbol}")
      endforeach()
      list(REMOVE_DUPLICATES exports)
      list(JOIN exports "\n  " lines)
      file(WRITE ${definition} "LIBRARY ${name}.dll\nEXPORTS\n  ${lines}\n")
      execute_process(COMMAND ${MINGW_DLLTOOL} --input-def ${definition} --dllname ${name}.dll
                              --output-delaylib ${library} ${dlltool_naming}
                              RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "dlltool could not make ${library}")
      endif()
    endif()
    list(APPEND libraries ${library})
  endforeach()
  set(${out} ${libraries} PARENT_SCOPE)
endfunction()

# The 32-bit Windows build, the one shipped as patch.exe: on 64-bit Windows it sees the
# system as the 32-bit applications its scripts update see it (Program Files (x86), SysWOW64).
set(MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# The 32-bit linker drops a delay-import library's load thunk when the code calls through
# the import's address slot (__imp_), as __declspec(dllimport) makes it do, and the first
# call of a delay-loaded function then jumps to 0. Declared without it, each call goes
# through the library's own stub, which keeps the thunk.
set(CMAKE_C_FLAGS_INIT "-DDECLSPEC_IMPORT=")
set(CMAKE_CXX_FLAGS_INIT "-DDECLSPEC_IMPORT=")

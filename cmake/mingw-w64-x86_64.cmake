# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (the posix
# thread model: std::thread and std::mutex need it). Programs link statically,
# so they run under Wine or on a bare Windows without the compiler's DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_kv_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_kv_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_kv_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_kv_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_kv_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

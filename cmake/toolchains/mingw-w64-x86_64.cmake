# Cross-build for 64-bit Windows with Debian's MinGW-w64 toolchain
# (g++-mingw-w64-x86-64). Tests run under Wine; see cmake/WineEmulator.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(tolvenix_mingw_prefix x86_64-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, which GCC 12's win32
# model lacks. Static linking keeps libwinpthread out of the imports.
set(CMAKE_C_COMPILER ${tolvenix_mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tolvenix_mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${tolvenix_mingw_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${tolvenix_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

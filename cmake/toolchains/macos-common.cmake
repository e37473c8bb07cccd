# Shared by the macOS toolchains: zig 0.11.0 (scripts/install-prerequisites puts it in
# /opt/zig-0.11.0) as the C++ compiler, archiver and Mach-O linker, for the zig target
# `tolvenix_zig_target`. It brings macOS's C headers and libc++, links against the system's
# libSystem only, and signs arm64 programs ad hoc as Apple's linker does. Nothing here runs
# the result; the macOS presets inspect it.
set(CMAKE_SYSTEM_NAME Darwin)
# Quiets GNUInstallDirs, which cannot ask a compiler it cannot run for the pointer size.
set(CMAKE_SIZEOF_VOID_P 8)

set(tolvenix_zig_wrappers ${CMAKE_CURRENT_LIST_DIR}/../zig)
set(CMAKE_C_COMPILER ${tolvenix_zig_wrappers}/zig-cc)
set(CMAKE_CXX_COMPILER ${tolvenix_zig_wrappers}/zig-c++)
set(CMAKE_AR ${tolvenix_zig_wrappers}/zig-ar CACHE FILEPATH "zig's archiver")
set(CMAKE_RANLIB ${tolvenix_zig_wrappers}/zig-ranlib CACHE FILEPATH "zig's ranlib")
# -s: without it the linker records the build's object paths in a debug map, and the
# LC_UUID derived from them differs between two checkouts even after stripping.
#
# zig builds libc++, libc++abi and compiler_rt for the target on first use, mostly on one core
# and for over a minute, once for each optimisation mode (-O0 is one, -O1 to -O3 another) and
# for stripped or not. CMake links a program of its own to identify the compiler, with these
# flags alone: they hold the release build's -O3 and -s, so that this link builds the very
# libraries the release link then takes. The compiler checks only compile.
set(CMAKE_C_FLAGS_INIT "-target ${tolvenix_zig_target} -O3 -s")
set(CMAKE_CXX_FLAGS_INIT "-target ${tolvenix_zig_target} -O3 -s")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Shared by the Linux cross toolchains: Debian's cross compilers and sysroot
# for the GNU target `tolvenix_target`, and qemu-user (`tolvenix_qemu`, run
# with `tolvenix_qemu_arguments`) to run what they build. Without qemu-user
# the program still builds; its tests are skipped.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${tolvenix_target}-gcc)
set(CMAKE_CXX_COMPILER ${tolvenix_target}-g++)

find_program(tolvenix_qemu_program NAMES ${tolvenix_qemu}-static ${tolvenix_qemu})
if(tolvenix_qemu_program)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${tolvenix_qemu_program} ${tolvenix_qemu_arguments})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${tolvenix_target})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

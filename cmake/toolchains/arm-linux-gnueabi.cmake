# Cross-build for 32-bit ARM Linux with Debian's armel toolchain
# (g++-arm-linux-gnueabi). Its baseline is ARMv5TE, so the static program runs
# on every 32-bit Raspberry Pi system, the ARMv6 Zero and 1 included; Debian's
# armhf libraries are built for ARMv7 and would stop there with an illegal
# instruction. The tests run under qemu-user as the Zero's core (ARM1176).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv6)

set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)

find_program(tolvenix_qemu_arm NAMES qemu-arm-static qemu-arm REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${tolvenix_qemu_arm} -cpu arm1176)

set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

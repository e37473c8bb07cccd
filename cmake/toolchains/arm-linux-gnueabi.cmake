# Cross-build for 32-bit ARM Linux with Debian's armel toolchain
# (g++-arm-linux-gnueabi). Its baseline is ARMv5TE, so the static program runs
# on every 32-bit Raspberry Pi system, the ARMv6 Zero and 1 included; Debian's
# armhf libraries are built for ARMv7 and would stop there with an illegal
# instruction. The tests run under qemu-user as the Zero's core (ARM1176).
set(CMAKE_SYSTEM_PROCESSOR armv6)
set(tolvenix_target arm-linux-gnueabi)
set(tolvenix_qemu qemu-arm)
set(tolvenix_qemu_arguments -cpu arm1176)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross-common.cmake)

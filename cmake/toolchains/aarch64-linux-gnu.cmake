# Cross-build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu.
# The static binaries run here under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(tolvenix_target aarch64-linux-gnu)
set(tolvenix_qemu qemu-aarch64)
set(tolvenix_qemu_arguments "")
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross-common.cmake)

# Cross-build for Macs with Apple silicon (macOS 11 and later) with zig.
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(tolvenix_zig_target aarch64-macos.11.0)
include(${CMAKE_CURRENT_LIST_DIR}/macos-common.cmake)

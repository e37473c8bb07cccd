# Cross-build for Intel Macs with zig. zig 0.11 brings no headers older than macOS 11, so
# that is the oldest release this program is built for.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(tolvenix_zig_target x86_64-macos.11.0)
include(${CMAKE_CURRENT_LIST_DIR}/macos-common.cmake)

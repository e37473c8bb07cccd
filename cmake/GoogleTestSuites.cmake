# One ctest entry per GoogleTest suite, for test programs that run under an emulator (Wine,
# qemu-user), where each start of a program costs a tenth of a second or more: an entry named
# `Suite.*` runs every case of the suite in one start, instead of one start for each case
# (gtest_discover_tests). Like it, the suites are listed when ctest runs, through the emulator,
# so that a cross-built program never runs on the build host unemulated.

set(tolvenix_gtest_suites_script ${CMAKE_CURRENT_LIST_DIR}/GoogleTestSuitesAtTestTime.cmake)

function(tolvenix_add_gtest_suites target)
  set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  file(GENERATE OUTPUT ${include_file} CONTENT "set(tolvenix_gtest_command [==[${CMAKE_CROSSCOMPILING_EMULATOR};$<TARGET_FILE:${target}>]==])
set(tolvenix_gtest_directory [==[${CMAKE_CURRENT_BINARY_DIR}]==])
include([==[${tolvenix_gtest_suites_script}]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()

# On a non-Windows host, Windows programs (the tool and its test binaries)
# run under Wine through a small wrapper that keeps a Wine prefix in the
# build tree. ctest puts the wrapper in front of target commands.
# Without Wine the program still builds; its tests are skipped.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND CMAKE_HOST_UNIX AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(TOLVENIX_WINE wine)
endif()
if(TOLVENIX_WINE AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(TOLVENIX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                 GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

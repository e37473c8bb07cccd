# GoogleTest for the test binaries. Native builds use the installed package;
# cross builds compile Debian's GoogleTest sources (libgtest-dev ships them in
# /usr/src/googletest) with the cross compiler.
if(CMAKE_CROSSCOMPILING)
  set(TOLVENIX_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources for cross builds")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TOLVENIX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

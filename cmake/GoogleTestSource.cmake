# GoogleTest for the test binaries; sets tolvenix_googletest_found. Native
# builds use the installed package. Cross builds, and builds with another
# standard library than the system's (libc++), compile Debian's GoogleTest
# sources (libgtest-dev ships them in /usr/src/googletest) with this build's
# compiler and flags, since a C++ library only links with code built alike.
option(TOLVENIX_GOOGLETEST_FROM_SOURCE "Compile GoogleTest from its sources" OFF)
set(TOLVENIX_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
set(tolvenix_googletest_found FALSE)
if(CMAKE_CROSSCOMPILING OR TOLVENIX_GOOGLETEST_FROM_SOURCE)
  if(EXISTS ${TOLVENIX_GOOGLETEST_SOURCE}/CMakeLists.txt)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TOLVENIX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
                     SYSTEM)
    tolvenix_compile_as_test_code(gtest gtest_main)
    if(NOT TARGET GTest::gtest_main)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
    set(tolvenix_googletest_found TRUE)
  endif()
else()
  find_package(GTest QUIET)
  set(tolvenix_googletest_found ${GTest_FOUND})
endif()

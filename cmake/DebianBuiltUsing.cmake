# Run by CPack after it made the packages (CPACK_POST_BUILD_SCRIPTS): adds to each .deb's control
# file the Built-Using field that CPack cannot write, naming every source package whose code is
# statically linked into the program, the C library's and GCC's, as Debian's policy asks
# (CPACK_TOLVENIX_BUILT_USING_FILE, written at build time; empty for a program that holds none). The package is
# unpacked and packed again with dpkg-deb, owned by root, its time stamps clamped to
# SOURCE_DATE_EPOCH when that is set, so that it stays reproducible.
file(READ ${CPACK_TOLVENIX_BUILT_USING_FILE} built_using)
if(built_using STREQUAL "")
  return()
endif()
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${package}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(READ ${tree}/DEBIAN/control control)
  string(REPLACE "\nDescription:" "\nBuilt-Using: ${built_using}\nDescription:" control "${control}")
  file(WRITE ${tree}/DEBIAN/control "${control}")
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build ${tree} ${package}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()

# Installation into the GNUInstallDirs places, and the packages made from it:
# a .zip for Windows, a .tar.gz and a .deb for Linux. Three components:
#   portable   the program meant to be copied onto the card (.zip, .tar.gz)
#   system     the program installed into /usr/bin (.deb), which always
#              writes into the working directory
#   documents  README, security notes, licence and manual page (every package)
# Directories get the same modes whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS tolvenix-setup RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT portable)
if(NOT WIN32)
  install(TARGETS tolvenix-setup-system RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT system)
endif()
install(FILES README.md SECURITY.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT documents)

# Compresses `input` into `output` as Debian wants it: gzip -9, without a name or time stamp,
# so that the bytes depend on the content alone.
function(tolvenix_gzip input output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
  execute_process(COMMAND gzip -9n --stdout ${input} OUTPUT_FILE ${output}
                  COMMAND_ERROR_IS_FATAL ANY)
endfunction()

set(tolvenix_generated ${PROJECT_BINARY_DIR}/generated)
if(NOT WIN32)
  # The manual page, with the project's one version, compressed.
  configure_file(man/tolvenix-setup.1.in ${tolvenix_generated}/tolvenix-setup.1 @ONLY)
  tolvenix_gzip(${tolvenix_generated}/tolvenix-setup.1 ${tolvenix_generated}/tolvenix-setup.1.gz)
  install(FILES ${tolvenix_generated}/tolvenix-setup.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT documents)
endif()

if(WIN32)
  set(tolvenix_package_platform windows-x86_64)
elseif(APPLE)
  # scripts/make-dist packs the universal program itself; this names a one-architecture one.
  set(tolvenix_package_platform macos-${CMAKE_SYSTEM_PROCESSOR})
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
  set(tolvenix_package_platform linux-arm64)
  set(tolvenix_deb_architecture arm64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
  # One static ARMv5TE program for every 32-bit Raspberry Pi system, whose
  # dpkg architecture is armhf.
  set(tolvenix_package_platform linux-armv6)
  set(tolvenix_deb_architecture armhf)
else()
  set(tolvenix_package_platform linux-x86_64)
  set(tolvenix_deb_architecture amd64)
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "The tolvenix-setup developers")
set(CPACK_PACKAGE_CONTACT "tolvenix-setup developers <tolvenix-setup@example.invalid>")

# The licences of the libraries a program holds, read at every build from the toolchain that
# built it (cmake/WriteLicenses.cmake), so that they stay true when the toolchain changes: a
# static program holds the C and C++ runtimes, and zig links its libc++ into every Mac program.
# THIRD-PARTY-LICENSES.txt goes with the program in every package; the .deb also names them in
# stanzas of its copyright file, and the source packages of their code as Built-Using.
if(TOLVENIX_STATIC_LINK AND WIN32)
  set(tolvenix_embedded mingw)
elseif(TOLVENIX_STATIC_LINK AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(tolvenix_embedded gnu)
elseif(APPLE AND tolvenix_zig_target)
  set(tolvenix_embedded zig)
else()
  set(tolvenix_embedded none)
endif()
if(WIN32 OR APPLE)
  set(tolvenix_debian OFF)
else()
  set(tolvenix_debian ON)
endif()
if(tolvenix_debian OR NOT tolvenix_embedded STREQUAL "none")
  add_custom_target(
    licenses ALL
    COMMAND ${CMAKE_COMMAND} -DCOMPILER=${CMAKE_CXX_COMPILER} "-DCOMPILER_FLAGS=${CMAKE_CXX_FLAGS}"
            -DKIND=${tolvenix_embedded} -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
            "-DCONTACT=${CPACK_PACKAGE_CONTACT}" -DDEBIAN=${tolvenix_debian}
            -DOUTPUT_DIR=${tolvenix_generated} -P ${PROJECT_SOURCE_DIR}/cmake/WriteLicenses.cmake
    COMMENT "Reading the licences of the libraries inside the program" VERBATIM)
endif()
if(NOT tolvenix_embedded STREQUAL "none")
  # The .deb's copyright file refers to it for the libraries' own notices and licences.
  foreach(component portable system)
    install(FILES ${tolvenix_generated}/THIRD-PARTY-LICENSES.txt
            DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${component})
  endforeach()
endif()

if(NOT WIN32 AND NOT APPLE)
  # What Debian asks of every package, installed with the program the .deb holds: the
  # machine-readable copyright file written above, the changelog of a native package
  # (its date from SOURCE_DATE_EPOCH when set, as string(TIMESTAMP) honours it), and for the
  # static program of a release the lintian override, with its reason.
  string(TIMESTAMP tolvenix_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(cmake/debian/changelog.in ${tolvenix_generated}/changelog @ONLY)
  tolvenix_gzip(${tolvenix_generated}/changelog ${tolvenix_generated}/changelog.gz)
  install(FILES ${tolvenix_generated}/copyright ${tolvenix_generated}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT system)
  if(TOLVENIX_STATIC_LINK)
    if(TOLVENIX_STATIC_PIE)
      set(tolvenix_lintian_override "\
# It is position-independent too (-static-pie), so that its addresses are randomised at
# every start: lintian takes such a program, having no interpreter, for a shared library,
# and finds that library without prerequisites. It needs none.
tolvenix-setup: shared-library-lacks-prerequisites [usr/bin/tolvenix-setup]")
    else()
      set(tolvenix_lintian_override "tolvenix-setup: statically-linked-binary [usr/bin/tolvenix-setup]")
    endif()
    configure_file(cmake/debian/lintian-overrides.in ${tolvenix_generated}/lintian-overrides @ONLY)
    install(FILES ${tolvenix_generated}/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${PROJECT_NAME}
            COMPONENT system)
  else()
    # A program linked against shared libraries (the test builds) depends on their packages.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${tolvenix_package_platform})
set(CPACK_STRIP_FILES ON)
# One package per generator, holding the components that generator's users
# need (chosen per generator in PackageComponents.cmake).
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageComponents.cmake)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
elseif(APPLE)
  set(CPACK_GENERATOR TGZ)
else()
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${tolvenix_deb_architecture})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The synopsis is the project's description; the long description must not repeat it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Asks for the Wi-Fi country code, network name and password, and writes\n wpa_supplicant.conf and an empty ssh file for a headless Raspberry Pi.")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # CPack cannot write Built-Using: each .deb is repacked with it once made.
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianBuiltUsing.cmake)
  set(CPACK_TOLVENIX_BUILT_USING_FILE ${tolvenix_generated}/built-using)
endif()
set(CPACK_SOURCE_GENERATOR "")

include(CPack)

# Installation into the GNUInstallDirs places, and the packages made from it:
# a .zip for Windows, a .tar.gz and a .deb for Linux. Three components:
#   portable   the program meant to be copied onto the card (.zip, .tar.gz)
#   system     the program installed into /usr/bin (.deb), which always
#              writes into the working directory
#   documents  README, licence and manual page (every package)
# Directories get the same modes whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS tolvenix-setup RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT portable)
if(NOT WIN32)
  install(TARGETS tolvenix-setup-system RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT system)
endif()
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT documents)
if(NOT WIN32)
  install(FILES man/tolvenix-setup.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
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
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "${PROJECT_DESCRIPTION}\n Asks for the Wi-Fi country code, network name and password and writes\n wpa_supplicant.conf and an empty ssh file for a headless Raspberry Pi.")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
endif()
set(CPACK_SOURCE_GENERATOR "")

include(CPack)

# Read by CPack for each generator: the .deb installs the program among the
# system's programs, so it holds the build that always writes into the
# working directory; the archives hold the one meant for the card, inside one
# top-level directory named after the package.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL system documents)
else()
  set(CPACK_COMPONENTS_ALL portable documents)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()

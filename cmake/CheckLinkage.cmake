# Checks that a program runs with nothing else installed.
#   cmake -DPROGRAM=<file> -DKIND=<pe|elf> -DTOOL=<objdump or readelf> -P CheckLinkage.cmake
# A Windows program (pe) may import KERNEL32.dll and the C runtime (msvcrt.dll
# or the UCRT's api-ms-win-crt-*.dll) only; a static Linux program (elf) has
# no program interpreter and needs no shared library.
cmake_policy(VERSION 3.25)

foreach(variable PROGRAM KIND TOOL)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

if(KIND STREQUAL "pe")
  execute_process(COMMAND ${TOOL} -p ${PROGRAM} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  list(TRANSFORM imports REPLACE "DLL Name: " "")
  message(STATUS "imports: ${imports}")
  if(NOT "KERNEL32.dll" IN_LIST imports)
    message(FATAL_ERROR "KERNEL32.dll is not imported; the import table was not read")
  endif()
  foreach(dll IN LISTS imports)
    if(NOT dll MATCHES "^(KERNEL32\\.dll|msvcrt\\.dll|api-ms-win-crt-[a-z0-9-]+\\.dll)$")
      message(FATAL_ERROR "unexpected import ${dll}: the program would need it installed")
    endif()
  endforeach()
elseif(KIND STREQUAL "elf")
  execute_process(COMMAND ${TOOL} --program-headers --dynamic ${PROGRAM} OUTPUT_VARIABLE dump
                  COMMAND_ERROR_IS_FATAL ANY)
  if(NOT dump MATCHES "LOAD")
    message(FATAL_ERROR "no program headers read from ${PROGRAM}")
  endif()
  if(dump MATCHES "INTERP" OR dump MATCHES "\\(NEEDED\\)")
    message(FATAL_ERROR "${PROGRAM} is dynamically linked:\n${dump}")
  endif()
  message(STATUS "statically linked: no interpreter, no shared libraries")
else()
  message(FATAL_ERROR "KIND must be pe or elf")
endif()

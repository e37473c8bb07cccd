# Checks, from its ELF headers, that a released Linux program is hardened:
#   cmake -DPROGRAM=<file> -DREADELF=<readelf> -P CheckElfHardening.cmake
# Every program: a GNU_RELRO segment and a stack that is not executable. An x86_64 or arm64
# program, whose C library can start a static position-independent program, also: type DYN
# (its addresses randomised at every start) and BIND_NOW (all relocations done at start, so
# that RELRO makes them read-only).
cmake_policy(VERSION 3.25)

foreach(variable PROGRAM READELF)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

execute_process(COMMAND ${READELF} --wide --file-header --program-headers --dynamic ${PROGRAM}
                OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
if(NOT dump MATCHES "Machine: +([^\n]+)")
  message(FATAL_ERROR "no ELF header read from ${PROGRAM}")
endif()
set(machine "${CMAKE_MATCH_1}")
set(missing "")
if(NOT dump MATCHES "\n +GNU_RELRO ")
  list(APPEND missing "a GNU_RELRO segment")
endif()
if(NOT dump MATCHES "\n +GNU_STACK [^\n]* RW +0x")
  list(APPEND missing "a stack that is not executable (GNU_STACK RW)")
endif()
if(machine MATCHES "X86-64|AArch64")
  if(NOT dump MATCHES "Type: +DYN ")
    list(APPEND missing "position independence (type DYN)")
  endif()
  if(NOT dump MATCHES "\\(FLAGS\\) +[^\n]*BIND_NOW")
    list(APPEND missing "BIND_NOW")
  endif()
endif()
if(missing)
  list(JOIN missing ", " missing)
  message(FATAL_ERROR "${PROGRAM} (${machine}) lacks ${missing}:\n${dump}")
endif()
message(STATUS "${machine}: hardened")

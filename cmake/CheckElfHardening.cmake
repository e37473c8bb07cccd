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
# Pairs of a pattern that the headers must match and what it shows.
set(requirements "\n +GNU_RELRO " "a GNU_RELRO segment"
                 "\n +GNU_STACK [^\n]* RW +0x" "a stack that is not executable (GNU_STACK RW)")
if(machine MATCHES "X86-64|AArch64")
  list(APPEND requirements "Type: +DYN " "position independence (type DYN)"
                           "\\(FLAGS\\) +[^\n]*BIND_NOW" "BIND_NOW")
endif()
set(missing "")
while(requirements)
  list(POP_FRONT requirements pattern shown)
  if(NOT dump MATCHES "${pattern}")
    list(APPEND missing "${shown}")
  endif()
endwhile()
if(missing)
  list(JOIN missing ", " missing)
  message(FATAL_ERROR "${PROGRAM} (${machine}) lacks ${missing}:\n${dump}")
endif()
message(STATUS "${machine}: hardened")

# Reads the resources of the Windows program back, as Explorer and Windows read them.
#   cmake -DPROGRAM=<exe> -DWINDRES=<windres> -DVERSION=<x.y.z> -P CheckWindowsResources.cmake
# The version resource must carry the project's version (FILEVERSION x,y,z,0) and its names;
# the manifest must ask for no elevation and name Windows 7 to 11.
cmake_policy(VERSION 3.25)

foreach(variable PROGRAM WINDRES VERSION)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

execute_process(COMMAND ${WINDRES} --input ${PROGRAM} --input-format coff --output-format rc
                OUTPUT_VARIABLE resources COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "." ", " numbers "${VERSION}")
set(expected
    "FILEVERSION ${numbers}, 0"
    "PRODUCTVERSION ${numbers}, 0"
    "VALUE \"FileDescription\", \"Prepares the Wi-Fi and SSH settings"
    "VALUE \"ProductName\", \"tolvenix-setup\""
    "VALUE \"CompanyName\", \"The tolvenix-setup developers\""
    "VALUE \"FileVersion\", \"${VERSION}\""
    "VALUE \"ProductVersion\", \"${VERSION}\""
    "VALUE \"LegalCopyright\", \"Copyright (c) 2026 The tolvenix-setup developers"
    "VALUE \"OriginalFilename\", \"tolvenix-setup.exe\""
    "1 24 /* RT_MANIFEST */"
    "requestedExecutionLevel level=\"\"asInvoker\"\""
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}" # Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}" # Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}" # Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}") # Windows 10 and 11
foreach(text IN LISTS expected)
  string(FIND "${resources}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the resources lack '${text}':\n${resources}")
  endif()
endforeach()
message(STATUS "version ${VERSION} and the manifest read back from ${PROGRAM}")

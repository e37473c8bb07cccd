# The project's warning list, kept in one place and attached to an INTERFACE
# target so that it reaches only our own code, never third-party headers.
function(tolvenix_set_warnings target warnings_as_errors)
  set(common_warnings
      -Wall
      -Wextra
      -Wpedantic
      -Wshadow
      -Wconversion
      -Wsign-conversion
      -Wold-style-cast
      -Wnull-dereference
      -Wformat=2
      -Wimplicit-fallthrough
      -Wcast-align
      -Wnon-virtual-dtor
      -Woverloaded-virtual)
  set(gcc_warnings -Wduplicated-cond -Wduplicated-branches -Wlogical-op -Wuseless-cast)

  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(warnings ${common_warnings} ${gcc_warnings})
  else()
    set(warnings ${common_warnings})
  endif()
  if(warnings_as_errors)
    list(APPEND warnings -Werror)
  endif()
  target_compile_options(${target} INTERFACE ${warnings})
endfunction()

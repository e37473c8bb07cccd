# Tests whose tools are missing here are skipped, each with its reason, so
# that configuring never fails for a test tool and the program always
# builds. With TOLVENIX_REQUIRE_TEST_TOOLS (the CI presets), a missing tool
# fails the configuration instead: CI can never pass by skipping.

# Registers, in place of the tests that cannot run, one test that reports
# itself skipped and says why.
function(tolvenix_skip_tests name reason)
  if(TOLVENIX_REQUIRE_TEST_TOOLS)
    message(FATAL_ERROR "${name}: ${reason} (TOLVENIX_REQUIRE_TEST_TOOLS is ON)")
  endif()
  message(STATUS "Skipping ${name}: ${reason}")
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "skipped: ${reason}")
  set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "skipped: ")
endfunction()

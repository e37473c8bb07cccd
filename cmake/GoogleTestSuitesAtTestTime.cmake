# Included by ctest as it reads the tests (see GoogleTestSuites.cmake): lists the suites of the
# GoogleTest program `tolvenix_gtest_command` (the emulator, then the program) and adds one test
# for each, which runs the program with a filter on that suite alone.
execute_process(COMMAND ${tolvenix_gtest_command} --gtest_list_tests
                WORKING_DIRECTORY ${tolvenix_gtest_directory} TIMEOUT 120
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
# A suite starts a line ("Suite." or "Instance/Suite.", maybe followed by a comment); its cases
# follow, indented. Wine's programs end their lines with a carriage return.
string(REGEX MATCHALL "(^|\n)[^ \r\n.]+\\." suites "${listing}")
if(NOT status EQUAL 0 OR NOT suites)
  list(JOIN tolvenix_gtest_command " " command)
  message(FATAL_ERROR "${command} --gtest_list_tests listed no suite "
                      "(status ${status}):\n${listing}${errors}")
endif()
foreach(suite IN LISTS suites)
  string(STRIP "${suite}" suite)
  add_test("${suite}*" ${tolvenix_gtest_command} "--gtest_filter=${suite}*")
  set_tests_properties("${suite}*" PROPERTIES WORKING_DIRECTORY "${tolvenix_gtest_directory}")
endforeach()

# How Wine tests are registered. A Windows program run under Wine that is killed
# from outside can end with code 0, so a test's pass must rest on a sign of the
# program's normal end: a GoogleTest program has GoogleTest's premature-exit file
# (tools/wine_exec.sh reads it); any other program names its end line, which its
# runner hands on to tools/wine_exec.sh. A test that has neither does not register.

# CTest's limit on a test, in seconds. A test that runs Windows programs also gets
# tools/wine_exec.sh's own limit a minute below it: the script then ends the
# program and what it started, and says so, before CTest kills the test.
function(korvo_set_wine_test_limit test seconds)
  math(EXPR own "${seconds} - 60")
  set_tests_properties(${test} PROPERTIES TIMEOUT ${seconds})
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "KORVO_WINE_TIME_LIMIT=${own}")
endfunction()

# A test executable run through tools/wine_exec.sh (the cross build's emulator)
# must be a GoogleTest program.
function(korvo_require_googletest_program target)
  get_target_property(libraries ${target} LINK_LIBRARIES)
  if(NOT "gtest_main" IN_LIST libraries AND NOT "GTest::gtest_main" IN_LIST libraries)
    message(FATAL_ERROR "Wine test ${target} is no GoogleTest program: run it from a runner registered with "
                        "korvo_add_wine_runner_test, which names the line of its normal end")
  endif()
endfunction()

# A test whose runner (COMMAND) starts a Windows program without GoogleTest through
# tools/wine_exec.sh and takes the line of its normal end (END_LINE, a regular
# expression a whole line matches; END_LINE_FILE when the program writes it to a
# file, not to its output) as --end-line and --end-line-file. LIMIT is CTest's
# limit in seconds.
function(korvo_add_wine_runner_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "END_LINE;END_LINE_FILE;LIMIT" "COMMAND")
  if("${arg_END_LINE}" STREQUAL "")
    message(FATAL_ERROR "Wine test ${name} names no END_LINE: a kill from outside ends its program with code 0, "
                        "so without a sign of its normal end a killed program would pass")
  endif()
  if(NOT arg_LIMIT)
    set(arg_LIMIT 900)
  endif()
  set(signs --end-line ${arg_END_LINE})
  if(arg_END_LINE_FILE)
    list(APPEND signs --end-line-file ${arg_END_LINE_FILE})
  endif()
  add_test(NAME ${name} COMMAND ${arg_COMMAND} ${signs})
  set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine_desktop)
  korvo_set_wine_test_limit(${name} ${arg_LIMIT})
endfunction()

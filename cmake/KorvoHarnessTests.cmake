# The harness's own tests: small Windows programs that end in every way a test
# program can, run through tools/wine_exec.sh as CTest runs every Wine test, each
# checked for the verdict the script gives, and runs stopped from outside or left
# with a child running checked for what they leave running (tests/harness/).
function(korvo_add_harness_tests)
  set(dir ${PROJECT_SOURCE_DIR}/tests/harness)
  add_executable(harness_verdict_probe ${dir}/programs/verdict_probe.cpp)
  add_executable(harness_googletest_probe ${dir}/programs/verdict_googletest_probe.cpp)
  target_link_libraries(harness_googletest_probe PRIVATE ${KORVO_GTEST_MAIN})
  add_executable(harness_fake_exit_code_relay ${dir}/programs/fake_exit_code_relay.cpp)
  foreach(program harness_verdict_probe harness_googletest_probe harness_fake_exit_code_relay)
    korvo_target_settings(${program})
    set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KORVO_TEST_OUTPUT_DIR})
  endforeach()

  set(test ${KORVO_TEST_PREFIX}harness_verdicts)
  add_test(NAME ${test}
           COMMAND /usr/bin/python3 -B ${dir}/check_verdicts.py --tools ${PROJECT_SOURCE_DIR}/tools
                   --probe $<TARGET_FILE:harness_verdict_probe> --gtest-probe $<TARGET_FILE:harness_googletest_probe>
                   --fake-relay $<TARGET_FILE:harness_fake_exit_code_relay>
                   --work ${CMAKE_BINARY_DIR}/testrun/harness_verdicts)
  korvo_set_wine_test_limit(${test} 900)
  set(test ${KORVO_TEST_PREFIX}harness_nothing_left)
  add_test(NAME ${test}
           COMMAND /usr/bin/python3 -B ${dir}/check_nothing_left.py --tools ${PROJECT_SOURCE_DIR}/tools
                   --probe $<TARGET_FILE:harness_verdict_probe> --work ${CMAKE_BINARY_DIR}/testrun/harness_nothing_left)
  korvo_set_wine_test_limit(${test} 900)
endfunction()

# The verdict's rules and the registration of Wine tests, without Wine (host build).
function(korvo_add_harness_rule_tests)
  add_test(NAME ${KORVO_TEST_PREFIX}harness_rules
           COMMAND /usr/bin/python3 -B ${PROJECT_SOURCE_DIR}/tests/harness/verdict_rules_test.py)
endfunction()

# Tests of the 32-bit tree, run from the 64-bit tree's ctest in the same
# Wine prefix. Where the machine cannot run 32-bit code at all, the wrapper
# reports that and the test is counted as skipped (exit code 77).
set(ZX_X86_TESTS ZxLibTests ZxShareMemTests ZxScaleTests ZxCamSrcTests ZxCamSrcStreamTests ZxCamCheckWindowTests)
foreach(t ${ZX_X86_TESTS})
  add_test(NAME x86.${t}
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${ZX_HARNESS_DIR} --x86 ${ZX_X86_BIN_DIR}/${t}.exe --gtest_color=no)
  # As long as the 64-bit suite may take (the stream suite needs more than
  # two minutes on a loaded machine).
  get_property(limit GLOBAL PROPERTY ZX_TEST_TIMEOUT_${t})
  set_tests_properties(x86.${t} PROPERTIES FIXTURES_REQUIRED Harness SKIP_RETURN_CODE 77 TIMEOUT ${limit})
  # The same channel, registration, devices and names as the 64-bit suite.
  get_property(locks GLOBAL PROPERTY ZX_TEST_LOCKS_${t})
  if(locks)
    set_tests_properties(x86.${t} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
endforeach()

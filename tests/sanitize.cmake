# The sanitizer build (configured with -C tests/sanitize/config.cmake) runs every test under ASan and
# UBSan; on top of those it runs the real program in a virtual X session under LeakSanitizer.
option(DOVOZ1_SANITIZE "This build runs under AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(DOVOZ1_SANITIZE)
  add_test(NAME sanitize.leak_run
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/sanitize/leak_run.sh $<TARGET_FILE:dovoz1>
                   ${CMAKE_CURRENT_LIST_DIR}/sanitize/lsan.supp)
  set_tests_properties(sanitize.leak_run PROPERTIES TIMEOUT 90)
endif()

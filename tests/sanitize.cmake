# The sanitizer build (configured with -C tests/sanitize/config.cmake) runs every test under ASan and
# UBSan; on top of those it runs the real program in a virtual X session under LeakSanitizer.
option(DOVOZ1_SANITIZE "This build runs under AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(DOVOZ1_SANITIZE)
  add_test(NAME sanitize.leak_run
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/sanitize/leak_run.sh $<TARGET_FILE:dovoz1>
                   ${CMAKE_CURRENT_LIST_DIR}/sanitize/lsan.supp)
  set_tests_properties(sanitize.leak_run PROPERTIES TIMEOUT 90)

  # Preloaded by scripts/alloc-fail.sh: refuses the Nth allocation of the program. It replaces the
  # allocator's entry points in front of the sanitizer's own, so it is built without the sanitizers.
  add_library(fail_allocation SHARED sanitize/fail_allocation.cpp)
  target_include_directories(fail_allocation PRIVATE $<TARGET_PROPERTY:PkgConfig::SDL,INTERFACE_INCLUDE_DIRECTORIES>)
  target_compile_options(fail_allocation PRIVATE -fno-sanitize=all)
  target_link_options(fail_allocation PRIVATE -fno-sanitize=all)
  target_link_libraries(fail_allocation PRIVATE ${CMAKE_DL_LIBS})
  set_target_properties(fail_allocation PROPERTIES PREFIX "")
  # A sampled sweep; scripts/alloc-fail.sh on its own refuses every allocation in turn (minutes).
  add_test(NAME sanitize.alloc_fail_sampled
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/alloc-fail.sh --no-build --step 25 ${PROJECT_BINARY_DIR})
  set_tests_properties(sanitize.alloc_fail_sampled PROPERTIES TIMEOUT 240)
endif()

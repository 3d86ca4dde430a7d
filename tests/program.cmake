# Tests of the real program run as a child process.
add_library(refuse_video_modes SHARED e2e/refuse_video_modes.c)
target_link_libraries(refuse_video_modes PRIVATE PkgConfig::SDL ${CMAKE_DL_LIBS})

add_executable(program_tests e2e/program_test.cpp e2e/program_runner.cpp)
target_link_libraries(program_tests PRIVATE GTest::gtest GTest::gtest_main)
target_compile_definitions(program_tests PRIVATE
  DOVOZ1_PROGRAM="$<TARGET_FILE:dovoz1>"
  DOVOZ1_REFUSE_MODES_LIBRARY="$<TARGET_FILE:refuse_video_modes>")
add_dependencies(program_tests dovoz1 refuse_video_modes)
# The program paces itself on the clock: it gets a core of its own while it runs.
gtest_discover_tests(program_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60 RUN_SERIAL TRUE)

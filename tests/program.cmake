# Tests of the real program run as a child process.
add_library(refuse_video_modes SHARED e2e/refuse_video_modes.c)
target_link_libraries(refuse_video_modes PRIVATE PkgConfig::SDL ${CMAKE_DL_LIBS})
add_library(withhold_events SHARED e2e/withhold_events.c)
target_link_libraries(withhold_events PRIVATE PkgConfig::SDL)

add_executable(program_tests e2e/program_test.cpp e2e/program_runner.cpp e2e/user_run.cpp e2e/image.cpp)
target_link_libraries(program_tests PRIVATE GTest::gtest GTest::gtest_main PkgConfig::PNG)
target_compile_definitions(program_tests PRIVATE
  DOVOZ1_PROGRAM="$<TARGET_FILE:dovoz1>"
  DOVOZ1_REFUSE_MODES_LIBRARY="$<TARGET_FILE:refuse_video_modes>")
add_dependencies(program_tests dovoz1 refuse_video_modes)
# The program paces itself on the clock: it gets a core of its own while it runs.
gtest_discover_tests(program_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 60 RUN_SERIAL TRUE)

# The real program as a user runs it: on Xvfb with a window manager, keys through X, sound through SDL's
# disk driver; and the installed files and the Debian package. Needs the test tools of
# scripts/install-deps.sh --test.
add_executable(x_program_tests
  e2e/x_program_test.cpp e2e/package_test.cpp e2e/program_runner_test.cpp
  e2e/program_runner.cpp e2e/x_session.cpp e2e/image.cpp e2e/user_run.cpp)
target_link_libraries(x_program_tests PRIVATE GTest::gtest GTest::gtest_main PkgConfig::PNG)
target_compile_definitions(x_program_tests PRIVATE
  DOVOZ1_PROGRAM="$<TARGET_FILE:dovoz1>"
  DOVOZ1_REFUSE_MODES_LIBRARY="$<TARGET_FILE:refuse_video_modes>"
  DOVOZ1_WITHHOLD_EVENTS_LIBRARY="$<TARGET_FILE:withhold_events>"
  DOVOZ1_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  DOVOZ1_BUILD_DIR="${PROJECT_BINARY_DIR}"
  DOVOZ1_CMAKE_COMMAND="${CMAKE_COMMAND}"
  DOVOZ1_CPACK_COMMAND="${CMAKE_CPACK_COMMAND}")
add_dependencies(x_program_tests dovoz1 refuse_video_modes withhold_events)
# One X server and one spinning program at a time: the program paces itself on the clock.
gtest_discover_tests(x_program_tests NO_PRETTY_VALUES DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 40 RUN_SERIAL TRUE LABELS e2e)

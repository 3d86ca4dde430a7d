# The module player over a recording fake of its library layer. The fake defines every BASSMOD_* call
# (and the resource lookup), so the linker takes only the player out of the music library, never the real
# layer or resource store.
file(GLOB PLAYER_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/player/*.cpp)
add_executable(player_tests ${PLAYER_TEST_SOURCES})
target_include_directories(player_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/player)
target_link_libraries(player_tests PRIVATE music io GTest::gtest GTest::gtest_main)
gtest_discover_tests(player_tests PROPERTIES ENVIRONMENT "${DOVOZ1_TEST_ENV}" DISCOVERY_TIMEOUT 60)

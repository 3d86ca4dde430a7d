# dovoz1-capture: its units are tested in unit_tests, and the tests that run the program itself find it
# through DOVOZ1_CAPTURE_PROGRAM.
target_link_libraries(unit_tests PRIVATE capture)
target_compile_definitions(unit_tests PRIVATE DOVOZ1_CAPTURE_PROGRAM="$<TARGET_FILE:dovoz1-capture>")
add_dependencies(unit_tests dovoz1-capture)

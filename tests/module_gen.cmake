# The committed music must be exactly what the generator writes today. This file is both the test's
# definition (included by tests/CMakeLists.txt) and the script the test runs (cmake -P).
if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode, with GENERATOR, EXPECTED and WORK_DIR given by -D.
  file(REMOVE_RECURSE "${WORK_DIR}")
  file(MAKE_DIRECTORY "${WORK_DIR}")
  set(written "${WORK_DIR}/ruvadodad.mod")
  execute_process(COMMAND "${GENERATOR}" "${written}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gen_module failed: ${status}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${written}" "${EXPECTED}" RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    file(SIZE "${written}" writtenSize)
    file(SIZE "${EXPECTED}" expectedSize)
    message(FATAL_ERROR "${EXPECTED} (${expectedSize} bytes) differs from a fresh ${written} (${writtenSize} "
                        "bytes); rebuild it with `cmake --build build --target make_module` and commit it")
  endif()
  # A generator that cannot write must say so, or a failed rebuild would pass for a good one.
  execute_process(COMMAND "${GENERATOR}" "${WORK_DIR}/missing/ruvadodad.mod" RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0)
    message(FATAL_ERROR "gen_module reported success writing into a missing folder")
  endif()
  file(REMOVE_RECURSE "${WORK_DIR}")
  return()
endif()

add_test(NAME module_gen_reproduces_data
  COMMAND ${CMAKE_COMMAND}
    -DGENERATOR=$<TARGET_FILE:gen_module>
    -DEXPECTED=${PROJECT_SOURCE_DIR}/data/ruvadodad.mod
    -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/module_gen
    -P ${CMAKE_CURRENT_LIST_FILE})

# The unit tests also check the generator's own encoder against the format's worked examples.
target_link_libraries(unit_tests PRIVATE module_gen)

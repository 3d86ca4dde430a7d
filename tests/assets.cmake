# Pictures of data/: rerunning every generator must reproduce the committed files byte for byte, and a
# generator that cannot write must say so by its exit status. This file is both the test's definition
# (included by tests/CMakeLists.txt) and, run with -P, the test itself.
if(CMAKE_SCRIPT_MODE_FILE)
  set(outputs gen_picture pic1_256x256.png gen_font fonts.png gen_sprite vozuz.png gen_icon icon.png)
  file(REMOVE_RECURSE ${WORK_DIR})
  file(MAKE_DIRECTORY ${WORK_DIR})
  set(failed "")
  while(outputs)
    list(POP_FRONT outputs gen name)
    execute_process(COMMAND ${GENERATOR_DIR}/${gen} ${WORK_DIR}/${name} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      list(APPEND failed "${gen} exited with ${status}")
      continue()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/${name} ${DATA_DIR}/${name}
                    RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
      list(APPEND failed "${name} differs from data/ (rerun target make_assets and commit?)")
    endif()
    execute_process(COMMAND ${GENERATOR_DIR}/${gen} ${WORK_DIR}/missing/${name} RESULT_VARIABLE status
                    ERROR_QUIET)
    if(status EQUAL 0)
      list(APPEND failed "${gen} reported success writing into a missing folder")
    endif()
  endwhile()
  file(REMOVE_RECURSE ${WORK_DIR})
  if(failed)
    list(JOIN failed "\n  " text)
    message(FATAL_ERROR "assets:\n  ${text}")
  endif()
  return()
endif()

# The property tests in unit/assets_test.cpp use the generators' PNG writer, palette reduction and plasma.
target_link_libraries(unit_tests PRIVATE asset_art)

add_test(NAME assets_reproducible
         COMMAND ${CMAKE_COMMAND} -DGENERATOR_DIR=$<TARGET_FILE_DIR:gen_picture>
                 -DDATA_DIR=${PROJECT_SOURCE_DIR}/data -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/assets_regenerated
                 -P ${CMAKE_CURRENT_LIST_FILE})

# Fuzz targets over the streams, the module layer and the picture decoders. In the fuzz build (configured
# with -C tests/fuzz/config.cmake: clang, DOVOZ1_FUZZ) they are libFuzzer programs; in every other build
# each one gets a replay driver and runs its committed corpus and regression inputs as a test.
option(DOVOZ1_FUZZ "Link the fuzz targets with libFuzzer" OFF)

set(DOVOZ1_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR}/fuzz)
set(DOVOZ1_FUZZ_TARGETS binfile module)
# The picture targets need the image loader.
if(EXISTS ${PROJECT_SOURCE_DIR}/display/sdlptc_imageloader.cpp)
  list(APPEND DOVOZ1_FUZZ_TARGETS image tga)
endif()
# The layers each target reaches.
set(fuzz_libraries_binfile io diag)
set(fuzz_libraries_module music)
set(fuzz_libraries_image display io)
set(fuzz_libraries_tga display io)

# Under clang the library must build as cleanly as under g++.
if(DOVOZ1_FUZZ)
  set_property(TARGET diag io display music intro PROPERTY COMPILE_WARNING_AS_ERROR ON)
endif()

foreach(name IN LISTS DOVOZ1_FUZZ_TARGETS)
  set(target fuzz_${name})
  if(DOVOZ1_FUZZ)
    add_executable(${target} ${DOVOZ1_FUZZ_DIR}/fuzz_${name}.cpp ${DOVOZ1_FUZZ_DIR}/allocation_watch.cpp)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    # libFuzzer only replays what it is given with -runs=0.
    set(replay_options -runs=0)
  else()
    add_executable(${target} ${DOVOZ1_FUZZ_DIR}/fuzz_${name}.cpp ${DOVOZ1_FUZZ_DIR}/allocation_watch.cpp
                           ${DOVOZ1_FUZZ_DIR}/replay_main.cpp)
    set(replay_options)
  endif()
  target_include_directories(${target} PRIVATE ${DOVOZ1_FUZZ_DIR})
  target_link_libraries(${target} PRIVATE ${fuzz_libraries_${name}})
  set_property(TARGET ${target} PROPERTY COMPILE_WARNING_AS_ERROR ${DOVOZ1_FUZZ})
  add_test(NAME fuzz_replay.${name}
           COMMAND ${target} ${replay_options} ${DOVOZ1_FUZZ_DIR}/corpus/${name}
                   ${DOVOZ1_FUZZ_DIR}/regressions/${name})
  set_tests_properties(fuzz_replay.${name} PROPERTIES ENVIRONMENT "${DOVOZ1_TEST_ENV}" TIMEOUT 300)
endforeach()

# For scripts/fuzz.sh: one target that builds them all, and their names.
set(fuzz_executables ${DOVOZ1_FUZZ_TARGETS})
list(TRANSFORM fuzz_executables PREPEND fuzz_)
add_custom_target(fuzz_all DEPENDS ${fuzz_executables})
list(JOIN DOVOZ1_FUZZ_TARGETS "\n" fuzz_names)
file(WRITE ${CMAKE_BINARY_DIR}/fuzz_targets.txt "${fuzz_names}\n")

# Initial cache of the fuzz build (cmake -C): clang, libFuzzer's coverage with AddressSanitizer and
# UndefinedBehaviorSanitizer on every object. tests/fuzz.cmake makes warnings errors in the library and
# the fuzz targets, which must build cleanly under clang as well.
set(CMAKE_C_COMPILER clang CACHE STRING "")
set(CMAKE_CXX_COMPILER clang++ CACHE STRING "")
set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "")
set(fuzz_flags "-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer")
set(CMAKE_C_FLAGS "${fuzz_flags}" CACHE STRING "")
set(CMAKE_CXX_FLAGS "${fuzz_flags}" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "-fsanitize=address,undefined" CACHE STRING "")
set(CMAKE_SHARED_LINKER_FLAGS "-fsanitize=address,undefined" CACHE STRING "")
set(DOVOZ1_FUZZ ON CACHE BOOL "")
set(DOVOZ1_REQUIRE_TESTS ON CACHE BOOL "")

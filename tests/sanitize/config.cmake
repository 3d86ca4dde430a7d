# Initial cache of the sanitizer build (cmake -C): the whole program and its tests under
# AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer, stopping at the first report.
set(CMAKE_BUILD_TYPE Debug CACHE STRING "")
# -O1 keeps the reports exact while the tests run at a usable speed; float-cast-overflow is not part
# of g++'s -fsanitize=undefined; g++'s maybe-uninitialized analysis misfires on sanitized code (the
# ordinary build keeps that warning).
set(sanitize_flags "-O1 -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer -Wno-maybe-uninitialized")
set(CMAKE_C_FLAGS "${sanitize_flags}" CACHE STRING "")
set(CMAKE_CXX_FLAGS "${sanitize_flags}" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "-fsanitize=address,undefined" CACHE STRING "")
set(CMAKE_SHARED_LINKER_FLAGS "-fsanitize=address,undefined" CACHE STRING "")
set(DOVOZ1_SANITIZE ON CACHE BOOL "")
set(DOVOZ1_REQUIRE_TESTS ON CACHE BOOL "")

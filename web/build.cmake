# The browser build (make web), included by the top CMakeLists.txt under Emscripten: the layers, the
# resource table and the page. No tools but the embedder, no tests, no packages. The libraries come
# static from DOVOZ1_WEB_PREFIX (scripts/web-libs.sh); the SDL 1.2 that display and music call is
# sdl12web/, over SDL2.
set(DOVOZ1_WEB_PREFIX "/var/cache/dovoz1-web/prefix" CACHE PATH "Where scripts/web-libs.sh installed the libraries")
if(NOT EXISTS ${DOVOZ1_WEB_PREFIX}/lib/libSDL2.a OR NOT EXISTS ${DOVOZ1_WEB_PREFIX}/lib/libopenmpt.a)
  message(FATAL_ERROR "no WebAssembly libraries in ${DOVOZ1_WEB_PREFIX}: run scripts/web-libs.sh (make web does)")
endif()

# The targets the layers name, made from the prefix instead of pkg-config.
add_library(PkgConfig::PNG INTERFACE IMPORTED)
set_target_properties(PkgConfig::PNG PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${DOVOZ1_WEB_PREFIX}/include
  INTERFACE_LINK_LIBRARIES "${DOVOZ1_WEB_PREFIX}/lib/libpng16.a;${DOVOZ1_WEB_PREFIX}/lib/libz.a")
add_library(PkgConfig::OPENMPT INTERFACE IMPORTED)
set_target_properties(PkgConfig::OPENMPT PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${DOVOZ1_WEB_PREFIX}/include
  INTERFACE_LINK_LIBRARIES ${DOVOZ1_WEB_PREFIX}/lib/libopenmpt.a)
# Every unit that includes <SDL.h> gets the web layer's, and sees it first, so that a header declaring
# an SDL type ahead of the include (sdlptc_format.h) names the same type everywhere.
add_subdirectory(sdl12web)
add_library(PkgConfig::SDL INTERFACE IMPORTED)
set_target_properties(PkgConfig::SDL PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${PROJECT_SOURCE_DIR}/sdl12web
  INTERFACE_COMPILE_OPTIONS "SHELL:-include ${PROJECT_SOURCE_DIR}/sdl12web/SDL.h"
  INTERFACE_LINK_LIBRARIES sdl12web)

add_subdirectory(tools/embed)
# The embedder runs under node at build time and reads data/ from the real file system.
target_link_options(dovoz1_embed PRIVATE -sNODERAWFS=1 -sWASM_ASYNC_COMPILATION=0)

add_subdirectory(diag)
add_subdirectory(io)
add_subdirectory(display)
add_subdirectory(music)
add_subdirectory(app)
# The native entry point is not the page's.
set_target_properties(dovoz1 PROPERTIES EXCLUDE_FROM_ALL ON)
add_subdirectory(web)

/* A preload library for the program tests: SDL delivers no events at all, as when its event loop is
 * broken; keys, window requests and SDL's own quit event never reach the program. */
#include <SDL.h>

int SDL_PollEvent(SDL_Event* event) {
    (void)event;
    return 0;
}

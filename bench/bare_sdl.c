/* bare_sdl.c: the least an SDL program does to show a frame in the intro's video mode: initialise
 * video, set 320x200 in 32 bits full screen, hide the cursor and present the screen once. */
#include <SDL.h>

int main(int argc, char** argv) {
    (void)argc, (void)argv;
    if (SDL_Init(SDL_INIT_VIDEO) < 0) return 1;
    SDL_Surface* screen = SDL_SetVideoMode(320, 200, 32, SDL_FULLSCREEN | SDL_HWSURFACE);
    if (!screen) return 1;
    SDL_ShowCursor(SDL_DISABLE);
    SDL_UpdateRect(screen, 0, 0, 0, 0);
    SDL_Quit();
    return 0;
}

// sdlptc_surface_blit.cpp: blits between surfaces and onto the console's screen, and clipping rectangles.
#include "sdlptc_surface.h"

#include "sdlptc_console.h"

namespace {

// The whole of a surface as an SDL source rectangle.
SDL_Rect wholeOf(const SDL_Surface* surface) {
    return toSDLRect(_vktRect{0, 0, surface->w, surface->h});
}

}  // namespace

int _vktSurface::blitAt(_vktSurface& destination, int x, int y) const {
    if (!surface || !destination.surface) return 0;
    if (surface->format->BitsPerPixel == 8 && destination.surface->format->BitsPerPixel == 8) {
        // Palette indices pass through untouched: SDL would translate them between the two palettes.
        copySurfacePixels(surface, 0, 0, surface->w, surface->h, destination.surface, x, y);
        return 1;
    }
    SDL_Rect sdlSource = wholeOf(surface);
    SDL_Rect sdlDestination = toSDLRect(_vktRect{x, y, surface->w, surface->h});
    return SDL_UpperBlit(surface, &sdlSource, destination.surface, &sdlDestination) >= 0 ? 1 : 0;
}

int _vktSurface::blitRect(_vktSurface& destination, const _vktRect& sourceArea,
                          const _vktRect& destinationArea) const {
    if (!surface || !destination.surface) return 0;
    SDL_Rect sdlSource = toSDLRect(sourceArea);
    SDL_Rect sdlDestination = toSDLRect(destinationArea);
    return SDL_UpperBlit(surface, &sdlSource, destination.surface, &sdlDestination) >= 0 ? 1 : 0;
}

int _vktSurface::blitToConsoleAt(_vktPTC& target, int x, int y) const {
    if (!surface || !target.isOpen || !target.screen) return 0;
    SDL_Rect sdlSource = wholeOf(surface);
    SDL_Rect sdlDestination = toSDLRect(_vktRect{x, y, surface->w, surface->h});
    return SDL_UpperBlit(surface, &sdlSource, target.screen, &sdlDestination) >= 0 ? 1 : 0;
}

int _vktSurface::blitRectToConsole(_vktPTC& target, const _vktRect& sourceArea,
                                   const _vktRect& destinationArea) const {
    if (!surface || !target.isOpen || !target.screen) return 0;
    SDL_Rect sdlSource = toSDLRect(sourceArea);
    SDL_Rect sdlDestination = toSDLRect(destinationArea);
    return SDL_UpperBlit(surface, &sdlSource, target.screen, &sdlDestination) >= 0 ? 1 : 0;
}

int _vktSurface::copyToConsole(_vktPTC& target, const _vktRect& sourceArea,
                               const _vktRect& destinationArea) const {
    if (!target.isOpen) return 0;
    if (surface && target.screen) {
        SDL_Rect sdlSource = toSDLRect(sourceArea);
        SDL_Rect sdlDestination = toSDLRect(destinationArea);
        // A failed blit still presents: the frame loop shows whatever the screen holds.
        SDL_UpperBlit(surface, &sdlSource, target.screen, &sdlDestination);
    }
    target.update();
    return 1;
}

int _vktSurface::setClipRect(const _vktRect& area) {
    if (!surface) return 0;
    SDL_Rect sdlArea = toSDLRect(area);
    SDL_SetClipRect(surface, &sdlArea);
    return 1;
}

int _vktSurface::clearClipRect() {
    if (!surface) return 0;
    SDL_SetClipRect(surface, nullptr);
    return 1;
}

// Test switches for the interposed SDL_CreateRGBSurface.
#pragma once
#include <SDL.h>

#include <gtest/gtest.h>

#include <vector>

#include "sdl_fixture.h"
#include "sdlptc_surface.h"

// The flags of every call since the last clear; SDL 1.2 over SDL2 drops some of them from the surface.
extern std::vector<Uint32> createSurfaceFlags;
// The call (1 for the next one) that is refused without reaching SDL; 0 refuses none. Counts down.
extern int createSurfaceRefusedCall;

// Runs an in-place operation on a fresh surface from make() once with each of the operation's surface
// creations refused in turn, then once with none refused. A refused run must report 0 and leave the
// surface exactly as it was. Returns the number of refused runs.
template <class Make, class Operation>
int refuseEachCreationInTurn(Make make, Operation operation) {
    for (int call = 1;; ++call) {
        _vktSurface surface;
        make(surface);
        SDL_Surface* before = surface.surface;
        const std::vector<uint8_t> pixels = pixelBytes(before);
        createSurfaceRefusedCall = call;
        const int result = operation(surface);
        const bool refused = createSurfaceRefusedCall == 0;
        createSurfaceRefusedCall = 0;
        if (!refused) {
            EXPECT_EQ(result, 1) << "with nothing refused";
            return call - 1;
        }
        EXPECT_EQ(result, 0) << "creation " << call << " refused";
        EXPECT_EQ(surface.surface, before) << "creation " << call << " refused";
        EXPECT_EQ(pixelBytes(surface.surface), pixels) << "creation " << call << " refused";
    }
}

// Test switches for the interposed SDL_LockSurface, and the count of SDL_UnlockSurface.
#pragma once

// Calls since the last reset, refused ones included.
extern int lockSurfaceCalls;
// How many of the next calls are refused (result -1) before SDL is reached again.
extern int lockSurfaceRefusals;
// SDL_UnlockSurface calls since the last reset.
extern int unlockSurfaceCalls;

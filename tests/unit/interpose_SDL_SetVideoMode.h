// Test switches for the interposed SDL_SetVideoMode and SDL_GL_SetAttribute, and the record of
// SDL_UpdateRect.
#pragma once
#include <SDL.h>

#include <utility>
#include <vector>

struct VideoModeCall {
    int width, height, bits;
    Uint32 flags;
};

// Every call is recorded; a call asking for a refused depth returns null without reaching SDL.
extern std::vector<VideoModeCall> videoModeCalls;
extern int refusedVideoModeBits;  // 0 refuses nothing, -1 refuses every depth
extern std::vector<std::pair<SDL_GLattr, int>> glAttributeCalls;

struct UpdateRectCall {
    Sint32 x, y;
    Uint32 w, h;
};

// Calls of SDL_UpdateRect since the counter was last reset, and the last one's arguments.
extern int updateRectCalls;
extern UpdateRectCall lastUpdateRect;

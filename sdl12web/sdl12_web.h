// sdl12_web.h: the part of SDL 1.2 the display library uses, for the browser build, over SDL2. Its types
// and calls carry an SDL12_ prefix so that they live beside SDL2's; sdl12web/SDL.h gives the display
// library their SDL 1.2 names. Calls with the same meaning in both (initialisation, audio, OpenGL
// attributes, the cursor, errors, delays) are SDL2's own.
#pragma once
// The program's main is its own; SDL2 must not rename it.
#define SDL_MAIN_HANDLED
#include <SDL2/SDL.h>

// Surface and video-mode flags, SDL 1.2's values.
inline constexpr Uint32 SDL12_SWSURFACE = 0x00000000;
inline constexpr Uint32 SDL12_HWSURFACE = 0x00000001;
inline constexpr Uint32 SDL12_OPENGL = 0x00000002;
inline constexpr Uint32 SDL12_ASYNCBLIT = 0x00000004;
inline constexpr Uint32 SDL12_OPENGLBLIT = 0x0000000A;
inline constexpr Uint32 SDL12_HWACCEL = 0x00000100;
inline constexpr Uint32 SDL12_SRCCOLORKEY = 0x00001000;
inline constexpr Uint32 SDL12_RLEACCELOK = 0x00002000;
inline constexpr Uint32 SDL12_RLEACCEL = 0x00004000;
inline constexpr Uint32 SDL12_SRCALPHA = 0x00010000;
inline constexpr Uint32 SDL12_PREALLOC = 0x01000000;
inline constexpr Uint32 SDL12_ANYFORMAT = 0x10000000;
inline constexpr Uint32 SDL12_HWPALETTE = 0x20000000;
inline constexpr Uint32 SDL12_FULLSCREEN = 0x80000000;

// Event types, SDL 1.2's values.
inline constexpr Uint8 SDL12_NOEVENT = 0;
inline constexpr Uint8 SDL12_KEYDOWN = 2;
inline constexpr Uint8 SDL12_KEYUP = 3;
inline constexpr Uint8 SDL12_MOUSEMOTION = 4;
inline constexpr Uint8 SDL12_MOUSEBUTTONDOWN = 5;
inline constexpr Uint8 SDL12_MOUSEBUTTONUP = 6;
inline constexpr Uint8 SDL12_QUIT = 12;

enum SDL12_GrabMode { SDL12_GRAB_QUERY = -1, SDL12_GRAB_OFF = 0, SDL12_GRAB_ON = 1 };

// Key symbols are SDL 1.2's: the ASCII keys keep their codes; keys beyond ASCII arrive as 0.
typedef int SDL12Key;

struct SDL12_Rect {
    Sint16 x, y;
    Uint16 w, h;
};

struct SDL12_Color {
    Uint8 r, g, b, unused;
};

struct SDL12_Palette {
    int ncolors;
    SDL12_Color* colors;  // the SDL2 palette's own entries (the same layout)
};

struct SDL12_PixelFormat {
    SDL12_Palette* palette;
    Uint8 BitsPerPixel, BytesPerPixel;
    Uint8 Rloss, Gloss, Bloss, Aloss;
    Uint8 Rshift, Gshift, Bshift, Ashift;
    Uint32 Rmask, Gmask, Bmask, Amask;
    Uint32 colorkey;  // a raw pixel value, meaningful with SDL12_SRCCOLORKEY
    Uint8 alpha;      // per-surface alpha, meaningful with SDL12_SRCALPHA
    // The SDL2 layout behind a surface's format; null in a layout the caller filled in.
    SDL_PixelFormat* native;
};

struct SDL12_Surface {
    Uint32 flags;
    SDL12_PixelFormat* format;
    int w, h;
    Uint16 pitch;
    void* pixels;
    int offset;
    SDL12_Rect clip_rect;
    Uint32 locked;
    // The SDL2 surface that owns the pixels, and the format and palette records above point into.
    SDL_Surface* native;
    SDL12_PixelFormat formatRecord;
    SDL12_Palette paletteRecord;
};

struct SDL12_keysym {
    Uint8 scancode;
    SDL12Key sym;
    int mod;
    Uint16 unicode;
};

struct SDL12_KeyboardEvent {
    Uint8 type, which, state;
    SDL12_keysym keysym;
};

struct SDL12_MouseMotionEvent {
    Uint8 type, which, state;
    Uint16 x, y;
    Sint16 xrel, yrel;
};

struct SDL12_MouseButtonEvent {
    Uint8 type, which, button, state;
    Uint16 x, y;
};

union SDL12_Event {
    Uint8 type;
    SDL12_KeyboardEvent key;
    SDL12_MouseMotionEvent motion;
    SDL12_MouseButtonEvent button;
};

struct SDL12_VideoInfo {
    Uint32 hw_available : 1;
    Uint32 wm_available : 1;
    Uint32 UnusedBits1 : 6;
    Uint32 UnusedBits2 : 1;
    Uint32 blit_hw : 1;
    Uint32 blit_hw_CC : 1;
    Uint32 blit_hw_A : 1;
    Uint32 blit_sw : 1;
    Uint32 blit_sw_CC : 1;
    Uint32 blit_sw_A : 1;
    Uint32 blit_fill : 1;
    Uint32 UnusedBits3 : 16;
    Uint32 video_mem;
    SDL12_PixelFormat* vfmt;
    int current_w, current_h;
};

// SDL 1.2's stream: callbacks with int sizes; hidden.unknown.data1 is the caller's.
struct SDL12_RWops {
    int (*seek)(SDL12_RWops* context, int offset, int whence);
    int (*read)(SDL12_RWops* context, void* destination, int size, int count);
    int (*write)(SDL12_RWops* context, const void* source, int size, int count);
    int (*close)(SDL12_RWops* context);
    Uint32 type;
    union {
        struct {
            void* data1;
        } unknown;
    } hidden;
};

// Shuts SDL down, and with it the window and screen this layer made.
void SDL12_Quit();

SDL12_Surface* SDL12_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 Rmask,
                                      Uint32 Gmask, Uint32 Bmask, Uint32 Amask);
SDL12_Surface* SDL12_CreateRGBSurfaceFrom(void* pixels, int width, int height, int depth, int pitch,
                                          Uint32 Rmask, Uint32 Gmask, Uint32 Bmask, Uint32 Amask);
// Does nothing for the screen, which the video mode owns.
void SDL12_FreeSurface(SDL12_Surface* surface);
int SDL12_FillRect(SDL12_Surface* surface, SDL12_Rect* area, Uint32 colour);
int SDL12_SetColorKey(SDL12_Surface* surface, Uint32 flag, Uint32 key);
int SDL12_SetAlpha(SDL12_Surface* surface, Uint32 flag, Uint8 alpha);
Uint32 SDL12_MapRGB(const SDL12_PixelFormat* format, Uint8 r, Uint8 g, Uint8 b);
Uint32 SDL12_MapRGBA(const SDL12_PixelFormat* format, Uint8 r, Uint8 g, Uint8 b, Uint8 a);
void SDL12_GetRGB(Uint32 pixel, const SDL12_PixelFormat* format, Uint8* r, Uint8* g, Uint8* b);
void SDL12_GetRGBA(Uint32 pixel, const SDL12_PixelFormat* format, Uint8* r, Uint8* g, Uint8* b, Uint8* a);
int SDL12_LockSurface(SDL12_Surface* surface);
void SDL12_UnlockSurface(SDL12_Surface* surface);
int SDL12_UpperBlit(SDL12_Surface* source, SDL12_Rect* sourceArea, SDL12_Surface* destination,
                    SDL12_Rect* destinationArea);
SDL_bool SDL12_SetClipRect(SDL12_Surface* surface, const SDL12_Rect* area);
int SDL12_SetColors(SDL12_Surface* surface, SDL12_Color* colours, int first, int count);
SDL12_Surface* SDL12_ConvertSurface(SDL12_Surface* source, const SDL12_PixelFormat* format, Uint32 flags);
SDL12_Surface* SDL12_DisplayFormat(SDL12_Surface* surface);
SDL12_Surface* SDL12_DisplayFormatAlpha(SDL12_Surface* surface);

const SDL12_VideoInfo* SDL12_GetVideoInfo();
// The screen: a surface of the asked depth (8, 16 or 32 bits; 0 the desktop's 32) that SDL12_UpdateRect
// copies into the browser's canvas. OpenGL modes fail: the web build draws every pixel itself.
SDL12_Surface* SDL12_SetVideoMode(int width, int height, int bitsPerPixel, Uint32 flags);
void SDL12_UpdateRect(SDL12_Surface* screen, Sint32 x, Sint32 y, Uint32 width, Uint32 height);
char* SDL12_VideoDriverName(char* buffer, int length);
int SDL12_GL_SwapBuffers();

int SDL12_PollEvent(SDL12_Event* event);
// Queues a key or quit event, as SDL 1.2 does: 0 on success, -1 otherwise.
int SDL12_PushEvent(SDL12_Event* event);
int SDL12_EnableKeyRepeat(int delay, int interval);
void SDL12_WarpMouse(Uint16 x, Uint16 y);

void SDL12_WM_SetCaption(const char* title, const char* iconTitle);
void SDL12_WM_GetCaption(char** title, char** iconTitle);
void SDL12_WM_SetIcon(SDL12_Surface* icon, Uint8* mask);
SDL12_GrabMode SDL12_WM_GrabInput(SDL12_GrabMode mode);

SDL12_RWops* SDL12_RWFromFile(const char* path, const char* mode);
SDL12_Surface* SDL12_LoadBMP_RW(SDL12_RWops* source, int freeSource);
int SDL12_SaveBMP_RW(SDL12_Surface* surface, SDL12_RWops* destination, int freeDestination);

// sdlptc_console.h: the console, owner of the SDL display: video modes, presentation, keys, message box.
#pragma once
#include <cstdint>
#include <SDL.h>

#include "sdlptc_format.h"
#include "sdlptc_palette.h"
#include "sdlptc_rect.h"

class _vktSurface;

// Mode codes for open(): depth and extra SDL flags. Codes outside 1118..1126 act as MODE_RGB32.
inline constexpr int MODE_INDEX8 = 1118;
inline constexpr int MODE_RGB16 = 1119;
inline constexpr int MODE_RGB32 = 1120;
inline constexpr int MODE_GL8 = 1121;
inline constexpr int MODE_GL16 = 1122;
inline constexpr int MODE_GL32 = 1123;
inline constexpr int MODE_GLBLIT8 = 1124;
inline constexpr int MODE_GLBLIT16 = 1125;
inline constexpr int MODE_GLBLIT32 = 1126;

// Screen kinds for open(); any other value opens a window with the cursor hidden.
inline constexpr int SCREEN_FULL = 40;           // full screen, cursor hidden
inline constexpr int SCREEN_WINDOW_CURSOR = 41;  // window, cursor shown

// Key codes readKey() returns for the keys the intro uses (SDL key symbols).
inline constexpr int KEY_NONE = 0;
inline constexpr int KEY_ENTER = 13;
inline constexpr int KEY_ESCAPE = 27;  // also a request to close the window
inline constexpr int KEY_SPACE = 32;
inline constexpr int KEY_B = 98;
inline constexpr int KEY_Q = 113;
inline constexpr int KEY_S = 115;

class _vktPTC {
public:
    // Restarts SDL video as open() does; the console stays closed.
    _vktPTC();
    // Restarts SDL video and sets the mode; test isOpen afterwards.
    _vktPTC(int width, int height, int mode, int screenKind);
    ~_vktPTC();
    _vktPTC(const _vktPTC&) = delete;
    _vktPTC& operator=(const _vktPTC&) = delete;

    // Restarts SDL video, then sets the mode; 1 when the mode is set. A video driver that shows nothing
    // (SDL's dummy and offscreen) counts only where SDL_VIDEODRIVER names it; otherwise SDL is shut
    // down again and the console stays closed.
    int open(int width, int height, int mode, int screenKind);
    // Releases the screen and shuts SDL down.
    void close();

    // Presents the whole screen, or one area; nothing while closed.
    void update();
    void update(const _vktRect& area);
    void swapGL();

    // Empties the event queue without blocking; the last key-down wins, a quit request reads as 27,
    // 0 when neither came. Each pointer may be null.
    int readKey(_vktRect* mouse = nullptr, int* leftButton = nullptr, int* rightButton = nullptr);
    // Empties the event queue; 1 when a key-down or quit request was among the events.
    int keyPressed();
    void warpMouse(int x, int y);
    int setKeyRepeat(int delay, int interval);
    int disableKeyRepeat();
    void showCursor(int show);

    // The fatal message: one line on standard error, a modal box where a desktop can show one (never
    // hangs without one), then the display is released. The caller ends the program.
    void showError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The console's own palette, sent to SDL as 256 colours.
    int setPalette(const _vktPalette& source);
    int getPalette(_vktPalette& target) const;
    _vktPalette palette() const;
    void applyPalette();

    // The screen's layout; the empty format without a screen.
    _vktFormat format() const;
    int getFormat(_vktFormat& target) const;
    int width() const;
    int height() const;
    // The desktop's depth; works on a closed console.
    int desktopBits() const;
    int desktopBytes() const;
    int isHardware() const;
    int isSoftware() const;
    int videoMemory() const;
    // SDL_VideoInfo fields as bits: 0x001 hw_available … 0x100 blit_fill.
    int videoCapabilities() const;
    // 0x01 HWACCEL, 0x02 SRCCOLORKEY, 0x04 RLEACCEL, 0x08 SRCALPHA, 0x20 PREALLOC.
    int surfaceFlags() const;

    int setCaption(const char* title, const char* iconTitle);
    // Copies the window title into buffer (which must hold it); 0 for a null buffer or no title.
    int getCaption(char* buffer) const;
    int setIcon(_vktSurface* icon);

    // Attribute codes 1..12 (red, green, blue, alpha, buffer, depth, stencil, double buffer, accum r/g/b/a).
    int setGLAttribute(int code, int value);
    int getGLAttribute(int code, int* value);
    // 1 only for a whole-word match in the OpenGL driver's extension list.
    int hasGLExtension(const char* name);

    SDL_Surface* screen;        // owned; null while no mode is set
    _vktPalette screenPalette;  // all black after construction
    int32_t isOpen;             // 1 while a video mode is set

private:
    void reset();
    int initVideo();
    int setMode(int width, int height, int mode, int screenKind);
    void releaseScreen();
};

// The whole-word search of an extension list: a hit counts where it starts the list or follows a
// space, and ends at a space or the end. 0 for a null, empty or space-holding name.
int extensionListHas(const char* list, const char* name);

// 1 when a comma-separated list of SDL video drivers, as SDL_VIDEODRIVER holds one, names driver (in any
// case, as SDL matches them); 0 for a null or empty list or driver.
int driverListNames(const char* list, const char* driver);

// Surface flag word of an SDL surface, as surfaceFlags() and _vktSurface::flags() report it.
int sdlSurfaceFlagWord(const SDL_Surface* surface);

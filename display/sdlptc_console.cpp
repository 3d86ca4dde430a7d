// sdlptc_console.cpp: the console over SDL 1.2 video.
#include "sdlptc_console.h"

#include <dlfcn.h>
#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sdlptc_internal.h"
#include "sdlptc_surface.h"

namespace {

struct ModeRow {
    int bits;
    Uint32 extraFlags;
    bool setsGLAttributes;
};

ModeRow modeRow(int mode) {
    switch (mode) {
        case MODE_INDEX8:
            return {8, SDL_HWPALETTE, false};
        case MODE_RGB16:
            return {16, 0, false};
        case MODE_GL8:
            return {8, SDL_OPENGL, true};
        case MODE_GL16:
            return {16, SDL_OPENGL, true};
        case MODE_GL32:
            return {32, SDL_OPENGL, true};
        case MODE_GLBLIT8:
            return {8, SDL_OPENGLBLIT, true};
        case MODE_GLBLIT16:
            return {16, SDL_OPENGLBLIT, true};
        case MODE_GLBLIT32:
            return {32, SDL_OPENGLBLIT, true};
        default:
            return {32, 0, false};  // MODE_RGB32 and every unknown code
    }
}

// Attribute codes 1..12 in order; index 0 is unused.
constexpr SDL_GLattr kGLAttributes[] = {
    SDL_GL_RED_SIZE,         SDL_GL_RED_SIZE,       SDL_GL_GREEN_SIZE,       SDL_GL_BLUE_SIZE,
    SDL_GL_ALPHA_SIZE,       SDL_GL_BUFFER_SIZE,    SDL_GL_DEPTH_SIZE,       SDL_GL_STENCIL_SIZE,
    SDL_GL_DOUBLEBUFFER,     SDL_GL_ACCUM_RED_SIZE, SDL_GL_ACCUM_GREEN_SIZE, SDL_GL_ACCUM_BLUE_SIZE,
    SDL_GL_ACCUM_ALPHA_SIZE,
};
constexpr int kGLAttributeCount = 12;

// A shared library of the system, or null. A browser has none, and dlopen there ends the page: the web
// build gets no desktop message box (the page shows standard error) and no OpenGL extension list.
void* openSystemLibrary(const char* name, int flags) {
#ifdef __EMSCRIPTEN__
    (void)name;
    (void)flags;
    return nullptr;
#else
    return dlopen(name, flags);
#endif
}

// SDL's drivers that show nothing: SDL2 falls back to offscreen where it reaches no display at all.
bool isHeadlessDriver(const char* driver) {
    return strcmp(driver, "dummy") == 0 || strcmp(driver, "offscreen") == 0;
}

// SDL chose a driver that shows nothing although SDL_VIDEODRIVER did not ask for it: over ssh without X
// forwarding, or with DISPLAY unset, a console there would run unseen.
bool unseenDriver() {
    char driver[32] = "";
    if (!SDL_VideoDriverName(driver, sizeof driver)) return false;
    return isHeadlessDriver(driver) && !driverListNames(getenv("SDL_VIDEODRIVER"), driver);
}

// The desktop message box comes from SDL2, which sdl12-compat has already loaded. Linking SDL2 is not
// an option (its names clash with SDL 1.2's), so it is looked up at run time.
void showDesktopMessageBox(const char* text) {
    char driver[32] = "";
    if (!SDL_VideoDriverName(driver, sizeof driver)) return;
    // Headless drivers have no desktop to show a box on.
    if (isHeadlessDriver(driver)) return;
    void* sdl2 = openSystemLibrary("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!sdl2) return;
    using ShowSimpleMessageBox = int (*)(Uint32 flags, const char* title, const char* message, void* window);
    auto show = reinterpret_cast<ShowSimpleMessageBox>(dlsym(sdl2, "SDL_ShowSimpleMessageBox"));
    constexpr Uint32 kErrorBox = 0x10;  // SDL_MESSAGEBOX_ERROR
    if (show) show(kErrorBox, "", text, nullptr);
    dlclose(sdl2);
}

}  // namespace

int extensionListHas(const char* list, const char* name) {
    if (!list || !name || !*name || strchr(name, ' ')) return 0;
    const size_t nameLength = strlen(name);
    const char* start = list;
    for (;;) {
        const char* where = strstr(start, name);
        if (!where) return 0;
        const char* terminator = where + nameLength;
        if ((where == start || where[-1] == ' ') && (*terminator == ' ' || *terminator == '\0')) return 1;
        start = terminator;
    }
}

int driverListNames(const char* list, const char* driver) {
    if (!list || !driver || !*driver) return 0;
    const size_t length = strlen(driver);
    const char* item = list;
    for (;;) {
        const char* comma = strchr(item, ',');
        const size_t itemLength = comma ? static_cast<size_t>(comma - item) : strlen(item);
        if (itemLength == length && strncasecmp(item, driver, length) == 0) return 1;
        if (!comma) return 0;
        item = comma + 1;
    }
}

int sdlSurfaceFlagWord(const SDL_Surface* surface) {
    if (!surface) return 0;
    const Uint32 flags = surface->flags;
    int word = 0;
    if (flags & SDL_HWACCEL) word |= 0x01;
    if (flags & SDL_SRCCOLORKEY) word |= 0x02;
    if (flags & SDL_RLEACCEL) word |= 0x04;
    if (flags & SDL_SRCALPHA) word |= 0x08;
    if (flags & SDL_PREALLOC) word |= 0x20;
    return word;
}

_vktPTC::_vktPTC() : screen(nullptr), isOpen(0) {
    reset();
    initVideo();
}

_vktPTC::_vktPTC(int width, int height, int mode, int screenKind) : screen(nullptr), isOpen(0) {
    reset();
    if (initVideo()) setMode(width, height, mode, screenKind);
}

_vktPTC::~_vktPTC() {
    releaseScreen();
    SDL_Quit();
}

void _vktPTC::reset() {
    const uint32_t black[_vktPalette::ENTRIES] = {};
    screenPalette.load(black);
    isOpen = 0;
    screen = nullptr;
}

void _vktPTC::releaseScreen() {
    if (screen) SDL_FreeSurface(screen);
    screen = nullptr;
}

int _vktPTC::initVideo() {
    releaseScreen();
    SDL_Quit();
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        isOpen = 0;
        return 0;
    }
    if (unseenDriver()) {
        SDL_Quit();
        SDL_SetError("no display: SDL found only a video driver that shows nothing");
        isOpen = 0;
        return 0;
    }
    return 1;
}

int _vktPTC::setMode(int width, int height, int mode, int screenKind) {
    releaseScreen();
    Uint32 flags = SDL_HWSURFACE;
    int cursor = 0;
    if (screenKind == SCREEN_FULL) flags = SDL_FULLSCREEN | SDL_HWSURFACE;
    if (screenKind == SCREEN_WINDOW_CURSOR) cursor = 1;
    const ModeRow row = modeRow(mode);
    flags |= row.extraFlags;
    if (row.setsGLAttributes) {
        const int red = row.bits == 8 ? 2 : row.bits == 16 ? 5 : 8;
        const int green = row.bits == 8 ? 3 : row.bits == 16 ? 6 : 8;
        const int blue = row.bits == 8 ? 3 : row.bits == 16 ? 5 : 8;
        setGLAttribute(5, row.bits);
        setGLAttribute(1, red);
        setGLAttribute(2, green);
        setGLAttribute(3, blue);
    }
    screen = SDL_SetVideoMode(width, height, row.bits, flags);
    if (!screen) {
        isOpen = 0;
        return 0;
    }
    isOpen = 1;
    showCursor(cursor);
    return 1;
}

int _vktPTC::open(int width, int height, int mode, int screenKind) {
    if (!initVideo()) return 0;
    return setMode(width, height, mode, screenKind);
}

void _vktPTC::close() {
    releaseScreen();
    isOpen = 0;
    SDL_Quit();
}

void _vktPTC::update() {
    if (isOpen) SDL_UpdateRect(screen, 0, 0, 0, 0);
}

void _vktPTC::update(const _vktRect& area) {
    // A negative size is an empty area; SDL would read the 0 it becomes as the whole screen.
    if (!isOpen || area.w < 0 || area.h < 0) return;
    const SDL_Rect cut = toSDLRect(area);
    SDL_UpdateRect(screen, cut.x, cut.y, cut.w, cut.h);
}

void _vktPTC::swapGL() {
    SDL_GL_SwapBuffers();
}

int _vktPTC::readKey(_vktRect* mouse, int* leftButton, int* rightButton) {
    int key = 0;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_KEYDOWN:
                key = event.key.keysym.sym;
                break;
            case SDL_QUIT:
                key = KEY_ESCAPE;
                break;
            case SDL_MOUSEMOTION:
                if (mouse) {
                    mouse->x = event.motion.x;
                    mouse->y = event.motion.y;
                    mouse->w = event.motion.xrel;
                    mouse->h = event.motion.yrel;
                }
                if (leftButton && (event.motion.state & SDL_BUTTON(1))) *leftButton = 1;
                if (rightButton && (event.motion.state & SDL_BUTTON(3))) *rightButton = 1;
                break;
            case SDL_MOUSEBUTTONDOWN:
                // A press reports where it happened and which button; it has no motion.
                if (mouse) {
                    mouse->x = event.button.x;
                    mouse->y = event.button.y;
                    mouse->w = 0;
                    mouse->h = 0;
                }
                if (leftButton && event.button.button == SDL_BUTTON_LEFT) *leftButton = 1;
                if (rightButton && event.button.button == SDL_BUTTON_RIGHT) *rightButton = 1;
                break;
            default:
                break;
        }
    }
    return key;
}

int _vktPTC::keyPressed() {
    int pressed = 0;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_KEYDOWN || event.type == SDL_QUIT) pressed = 1;
    }
    return pressed;
}

void _vktPTC::warpMouse(int x, int y) {
    SDL_WarpMouse(static_cast<Uint16>(x), static_cast<Uint16>(y));
}

int _vktPTC::setKeyRepeat(int delay, int interval) {
    return SDL_EnableKeyRepeat(delay, interval) == 0;
}

int _vktPTC::disableKeyRepeat() {
    return SDL_EnableKeyRepeat(0, 0) == 0;
}

void _vktPTC::showCursor(int show) {
    if (isOpen) SDL_ShowCursor(show);
}

void _vktPTC::showError(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // A terminal user, or one without a desktop, still learns why the program stopped.
    fprintf(stderr, "%s\n", text);
    fflush(stderr);
    // A full-screen window holds the keyboard; the box could never be dismissed while it does.
    if (isOpen) SDL_WM_GrabInput(SDL_GRAB_OFF);
    showDesktopMessageBox(text);
    releaseScreen();
    isOpen = 0;
    SDL_Quit();
}

int _vktPTC::setPalette(const _vktPalette& source) {
    screenPalette = source;
    applyPalette();
    return 1;
}

int _vktPTC::getPalette(_vktPalette& target) const {
    target = screenPalette;
    return 1;
}

_vktPalette _vktPTC::palette() const {
    return screenPalette;
}

void _vktPTC::applyPalette() {
    const uint32_t* entries = screenPalette.entries();
    // Without a screen or entries there is nothing to send the colours to.
    if (!screen || !entries) return;
    SDL_Color colours[_vktPalette::ENTRIES];
    toSDLColours(entries, colours);
    SDL_SetColors(screen, colours, 0, _vktPalette::ENTRIES);
}

_vktFormat _vktPTC::format() const {
    _vktFormat result = _vktFormat::empty();
    if (screen) result.fromSDL(screen->format);
    return result;
}

int _vktPTC::getFormat(_vktFormat& target) const {
    if (!screen) return 0;
    target = format();
    return 1;
}

int _vktPTC::width() const {
    return screen ? screen->w : 0;
}
int _vktPTC::height() const {
    return screen ? screen->h : 0;
}

int _vktPTC::desktopBits() const {
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    return info && info->vfmt ? info->vfmt->BitsPerPixel : 0;
}

int _vktPTC::desktopBytes() const {
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    return info && info->vfmt ? info->vfmt->BytesPerPixel : 0;
}

int _vktPTC::isHardware() const {
    return isOpen && (screen->flags & SDL_HWSURFACE) ? 1 : 0;
}
int _vktPTC::isSoftware() const {
    return isOpen && !(screen->flags & SDL_HWSURFACE) ? 1 : 0;
}

int _vktPTC::videoMemory() const {
    if (!isOpen) return 0;
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    return info ? static_cast<int>(info->video_mem) : 0;
}

int _vktPTC::videoCapabilities() const {
    if (!isOpen) return 0;
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (!info) return 0;
    return (info->hw_available ? 0x001 : 0) | (info->wm_available ? 0x002 : 0) | (info->blit_hw ? 0x004 : 0) |
           (info->blit_hw_CC ? 0x008 : 0) | (info->blit_hw_A ? 0x010 : 0) | (info->blit_sw ? 0x020 : 0) |
           (info->blit_sw_CC ? 0x040 : 0) | (info->blit_sw_A ? 0x080 : 0) | (info->blit_fill ? 0x100 : 0);
}

int _vktPTC::surfaceFlags() const {
    return isOpen ? sdlSurfaceFlagWord(screen) : 0;
}

int _vktPTC::setCaption(const char* title, const char* iconTitle) {
    SDL_WM_SetCaption(title, iconTitle);
    return 1;
}

int _vktPTC::getCaption(char* buffer) const {
    if (!buffer) return 0;
    char* title = nullptr;
    SDL_WM_GetCaption(&title, nullptr);
    if (!title) return 0;
    strcpy(buffer, title);
    return 1;
}

int _vktPTC::setIcon(_vktSurface* icon) {
    if (!icon || !icon->surface) return 0;
    SDL_WM_SetIcon(icon->surface, nullptr);
    return 1;
}

int _vktPTC::setGLAttribute(int code, int value) {
    if (code < 1 || code > kGLAttributeCount) return 0;
    return SDL_GL_SetAttribute(kGLAttributes[code], value) == 0;
}

int _vktPTC::getGLAttribute(int code, int* value) {
    if (!value || code < 1 || code > kGLAttributeCount) return 0;
    return SDL_GL_GetAttribute(kGLAttributes[code], value) == 0;
}

int _vktPTC::hasGLExtension(const char* name) {
    if (!name) return 0;
    void* gl = openSystemLibrary("libGL.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!gl) return 0;
    using GetString = const unsigned char* (*)(unsigned int);
    auto getString = reinterpret_cast<GetString>(dlsym(gl, "glGetString"));
    int found = 0;
    if (getString && *name && !strchr(name, ' ')) {
        constexpr unsigned int kExtensions = 0x1F03;  // GL_EXTENSIONS
        found = extensionListHas(reinterpret_cast<const char*>(getString(kExtensions)), name);
    }
    dlclose(gl);
    return found;
}

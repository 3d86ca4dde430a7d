// sdl12_web.cpp: SDL 1.2's surfaces, video mode, events and window calls over SDL2, for the browser build.
// Every SDL 1.2 surface wraps an SDL2 surface that owns its pixels; the 1.2 record mirrors its size,
// layout, palette, clipping, colour key and alpha, so the display library reads the fields it always read.
#include "sdl12_web.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The window the screen is shown in, and the screen, a surface of its own that SDL12_UpdateRect copies
// into the window's canvas.
struct Video {
    SDL_Window* window = nullptr;
    SDL12_Surface* screen = nullptr;
    char* caption = nullptr;
    char* iconCaption = nullptr;
    bool keyRepeat = false;  // SDL 1.2 starts without it
    SDL12_VideoInfo info{};
    SDL12_PixelFormat desktopFormat{};
};

Video video;

// The 1.2 format record of an SDL2 layout, with SDL 1.2's colour key and alpha.
void describe(SDL12_PixelFormat& record, SDL_PixelFormat* native, SDL12_Palette* palette) {
    record.native = native;
    record.BitsPerPixel = native->BitsPerPixel;
    record.BytesPerPixel = native->BytesPerPixel;
    record.Rloss = native->Rloss;
    record.Gloss = native->Gloss;
    record.Bloss = native->Bloss;
    record.Aloss = native->Aloss;
    record.Rshift = native->Rshift;
    record.Gshift = native->Gshift;
    record.Bshift = native->Bshift;
    record.Ashift = native->Ashift;
    record.Rmask = native->Rmask;
    record.Gmask = native->Gmask;
    record.Bmask = native->Bmask;
    record.Amask = native->Amask;
    record.palette = nullptr;
    if (native->palette && palette) {
        palette->ncolors = native->palette->ncolors;
        palette->colors = reinterpret_cast<SDL12_Color*>(native->palette->colors);
        record.palette = palette;
    }
}

void mirrorClip(SDL12_Surface* surface) {
    const SDL_Rect& clip = surface->native->clip_rect;
    surface->clip_rect = SDL12_Rect{static_cast<Sint16>(clip.x), static_cast<Sint16>(clip.y),
                                    static_cast<Uint16>(clip.w), static_cast<Uint16>(clip.h)};
}

// A 1.2 record around an SDL2 surface, which it then owns; null (and the SDL2 surface freed) without
// memory. Surfaces with an alpha channel blend as SDL 1.2 makes them: SDL_SRCALPHA set, alpha opaque.
SDL12_Surface* wrap(SDL_Surface* native, Uint32 flags) {
    if (!native) return nullptr;
    auto* surface = new (std::nothrow) SDL12_Surface{};
    if (!surface) {
        SDL_FreeSurface(native);
        SDL_OutOfMemory();
        return nullptr;
    }
    surface->native = native;
    describe(surface->formatRecord, native->format, &surface->paletteRecord);
    surface->format = &surface->formatRecord;
    surface->format->alpha = SDL_ALPHA_OPAQUE;
    surface->flags = flags;
    if (native->format->Amask) {
        surface->flags |= SDL12_SRCALPHA;
        SDL_SetSurfaceBlendMode(native, SDL_BLENDMODE_BLEND);
    } else {
        SDL_SetSurfaceBlendMode(native, SDL_BLENDMODE_NONE);
    }
    Uint32 key = 0;
    if (SDL_GetColorKey(native, &key) == 0) {
        surface->flags |= SDL12_SRCCOLORKEY;
        surface->format->colorkey = key;
    }
    surface->w = native->w;
    surface->h = native->h;
    surface->pitch = static_cast<Uint16>(native->pitch);
    surface->pixels = native->pixels;
    mirrorClip(surface);
    return surface;
}

// The SDL2 pixel format of a depth and masks; SDL_PIXELFORMAT_UNKNOWN when SDL2 has none.
Uint32 formatOf(int depth, Uint32 red, Uint32 green, Uint32 blue, Uint32 alpha) {
    return SDL_MasksToPixelFormatEnum(depth, red, green, blue, alpha);
}

// SDL2 takes a stream with 64-bit sizes; these pass its calls on to an SDL 1.2 stream.
Sint64 forwardSize(SDL_RWops* stream) {
    auto* inner = static_cast<SDL12_RWops*>(stream->hidden.unknown.data1);
    const int here = inner->seek(inner, 0, RW_SEEK_CUR);
    const int end = inner->seek(inner, 0, RW_SEEK_END);
    if (here < 0 || end < 0) return -1;
    inner->seek(inner, here, RW_SEEK_SET);
    return end;
}

Sint64 forwardSeek(SDL_RWops* stream, Sint64 offset, int whence) {
    auto* inner = static_cast<SDL12_RWops*>(stream->hidden.unknown.data1);
    if (!inner->seek || offset < INT_MIN || offset > INT_MAX) return -1;
    return inner->seek(inner, static_cast<int>(offset), whence);
}

size_t forwardRead(SDL_RWops* stream, void* destination, size_t size, size_t count) {
    auto* inner = static_cast<SDL12_RWops*>(stream->hidden.unknown.data1);
    if (!inner->read || size > INT_MAX || count > INT_MAX) return 0;
    const int read = inner->read(inner, destination, static_cast<int>(size), static_cast<int>(count));
    return read > 0 ? static_cast<size_t>(read) : 0;
}

size_t forwardWrite(SDL_RWops* stream, const void* source, size_t size, size_t count) {
    auto* inner = static_cast<SDL12_RWops*>(stream->hidden.unknown.data1);
    if (!inner->write || size > INT_MAX || count > INT_MAX) return 0;
    const int written = inner->write(inner, source, static_cast<int>(size), static_cast<int>(count));
    return written > 0 ? static_cast<size_t>(written) : 0;
}

int forwardClose(SDL_RWops* stream) {
    SDL_FreeRW(stream);
    return 0;
}

// An SDL2 stream over inner, freed by its close; inner stays open.
SDL_RWops* forwardTo(SDL12_RWops* inner) {
    SDL_RWops* stream = SDL_AllocRW();
    if (!stream) return nullptr;
    stream->size = forwardSize;
    stream->seek = forwardSeek;
    stream->read = forwardRead;
    stream->write = forwardWrite;
    stream->close = forwardClose;
    stream->hidden.unknown.data1 = inner;
    return stream;
}

// An SDL 1.2 stream over an SDL2 one, which its close closes.
int outerSeek(SDL12_RWops* context, int offset, int whence) {
    const Sint64 at = SDL_RWseek(static_cast<SDL_RWops*>(context->hidden.unknown.data1), offset, whence);
    return at > INT_MAX ? -1 : static_cast<int>(at);
}

int outerRead(SDL12_RWops* context, void* destination, int size, int count) {
    if (size < 0 || count < 0) return -1;
    return static_cast<int>(
        SDL_RWread(static_cast<SDL_RWops*>(context->hidden.unknown.data1), destination, size, count));
}

int outerWrite(SDL12_RWops* context, const void* source, int size, int count) {
    if (size < 0 || count < 0) return -1;
    return static_cast<int>(
        SDL_RWwrite(static_cast<SDL_RWops*>(context->hidden.unknown.data1), source, size, count));
}

int outerClose(SDL12_RWops* context) {
    const int result = SDL_RWclose(static_cast<SDL_RWops*>(context->hidden.unknown.data1));
    delete context;
    return result;
}

void releaseScreen() {
    SDL12_Surface* screen = video.screen;
    video.screen = nullptr;
    SDL12_FreeSurface(screen);
}

// SDL2's key codes of the ASCII keys are SDL 1.2's symbols; SDL 1.2 numbers the other keys differently,
// and the display library reads none of them.
SDL12Key symbolOf(SDL_Keycode code) {
    return code >= 0 && code < 128 ? static_cast<SDL12Key>(code) : 0;
}

// The 1.2 form of one SDL2 event; false for events SDL 1.2 would not report.
bool translate(const SDL_Event& from, SDL12_Event& to) {
    std::memset(&to, 0, sizeof to);
    switch (from.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (from.key.repeat && !video.keyRepeat) return false;
            to.key.type = from.type == SDL_KEYDOWN ? SDL12_KEYDOWN : SDL12_KEYUP;
            to.key.state = from.key.state;
            to.key.keysym.scancode = static_cast<Uint8>(from.key.keysym.scancode);
            to.key.keysym.sym = symbolOf(from.key.keysym.sym);
            to.key.keysym.mod = from.key.keysym.mod;
            return true;
        case SDL_MOUSEMOTION:
            to.motion.type = SDL12_MOUSEMOTION;
            to.motion.state = static_cast<Uint8>(from.motion.state);
            to.motion.x = static_cast<Uint16>(from.motion.x);
            to.motion.y = static_cast<Uint16>(from.motion.y);
            to.motion.xrel = static_cast<Sint16>(from.motion.xrel);
            to.motion.yrel = static_cast<Sint16>(from.motion.yrel);
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            to.button.type = from.type == SDL_MOUSEBUTTONDOWN ? SDL12_MOUSEBUTTONDOWN : SDL12_MOUSEBUTTONUP;
            to.button.button = from.button.button;
            to.button.state = from.button.state;
            to.button.x = static_cast<Uint16>(from.button.x);
            to.button.y = static_cast<Uint16>(from.button.y);
            return true;
        case SDL_QUIT:
            to.type = SDL12_QUIT;
            return true;
        default:
            return false;
    }
}

char* copyOf(const char* text) {
    if (!text) return nullptr;
    const size_t length = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(length));
    if (copy) std::memcpy(copy, text, length);
    return copy;
}

}  // namespace

void SDL12_Quit() {
    releaseScreen();
    if (video.window) SDL_DestroyWindow(video.window);
    video.window = nullptr;
    SDL_Quit();
}

SDL12_Surface* SDL12_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 Rmask,
                                      Uint32 Gmask, Uint32 Bmask, Uint32 Amask) {
    // No memory here is the video card's: every surface is a software one.
    (void)flags;
    return wrap(SDL_CreateRGBSurface(0, width, height, depth, Rmask, Gmask, Bmask, Amask), SDL12_SWSURFACE);
}

SDL12_Surface* SDL12_CreateRGBSurfaceFrom(void* pixels, int width, int height, int depth, int pitch,
                                          Uint32 Rmask, Uint32 Gmask, Uint32 Bmask, Uint32 Amask) {
    return wrap(SDL_CreateRGBSurfaceFrom(pixels, width, height, depth, pitch, Rmask, Gmask, Bmask, Amask),
                SDL12_PREALLOC);
}

void SDL12_FreeSurface(SDL12_Surface* surface) {
    if (!surface || surface == video.screen) return;
    SDL_FreeSurface(surface->native);
    delete surface;
}

int SDL12_FillRect(SDL12_Surface* surface, SDL12_Rect* area, Uint32 colour) {
    if (!surface) return SDL_InvalidParamError("surface");
    if (!area) return SDL_FillRect(surface->native, nullptr, colour);
    const SDL_Rect wide{area->x, area->y, area->w, area->h};
    return SDL_FillRect(surface->native, &wide, colour);
}

int SDL12_SetColorKey(SDL12_Surface* surface, Uint32 flag, Uint32 key) {
    if (!surface) return SDL_InvalidParamError("surface");
    const bool on = (flag & SDL12_SRCCOLORKEY) != 0;
    if (SDL_SetColorKey(surface->native, on ? SDL_TRUE : SDL_FALSE, key) < 0) return -1;
    surface->flags &= ~(SDL12_SRCCOLORKEY | SDL12_RLEACCELOK | SDL12_RLEACCEL);
    surface->format->colorkey = on ? key : 0;
    if (on) {
        surface->flags |= SDL12_SRCCOLORKEY;
        if (flag & SDL12_RLEACCEL) surface->flags |= SDL12_RLEACCELOK;
    }
    return 0;
}

int SDL12_SetAlpha(SDL12_Surface* surface, Uint32 flag, Uint8 alpha) {
    if (!surface) return SDL_InvalidParamError("surface");
    const bool on = (flag & SDL12_SRCALPHA) != 0;
    // SDL 1.2 blends a surface with an alpha channel by its pixels alone; SDL2 would multiply in the
    // surface's alpha as well.
    const bool channel = surface->format->Amask != 0;
    SDL_SetSurfaceBlendMode(surface->native, on ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
    SDL_SetSurfaceAlphaMod(surface->native, on && !channel ? alpha : SDL_ALPHA_OPAQUE);
    if (on) {
        surface->flags |= SDL12_SRCALPHA;
        surface->format->alpha = alpha;
    } else {
        surface->flags &= ~SDL12_SRCALPHA;
        surface->format->alpha = SDL_ALPHA_OPAQUE;
    }
    return 0;
}

Uint32 SDL12_MapRGB(const SDL12_PixelFormat* format, Uint8 r, Uint8 g, Uint8 b) {
    return format && format->native ? SDL_MapRGB(format->native, r, g, b) : 0;
}

Uint32 SDL12_MapRGBA(const SDL12_PixelFormat* format, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    return format && format->native ? SDL_MapRGBA(format->native, r, g, b, a) : 0;
}

void SDL12_GetRGB(Uint32 pixel, const SDL12_PixelFormat* format, Uint8* r, Uint8* g, Uint8* b) {
    if (format && format->native) SDL_GetRGB(pixel, format->native, r, g, b);
}

void SDL12_GetRGBA(Uint32 pixel, const SDL12_PixelFormat* format, Uint8* r, Uint8* g, Uint8* b, Uint8* a) {
    if (format && format->native) SDL_GetRGBA(pixel, format->native, r, g, b, a);
}

int SDL12_LockSurface(SDL12_Surface* surface) {
    if (!surface) return SDL_InvalidParamError("surface");
    if (SDL_LockSurface(surface->native) < 0) return -1;
    ++surface->locked;
    surface->pixels = surface->native->pixels;
    return 0;
}

void SDL12_UnlockSurface(SDL12_Surface* surface) {
    if (!surface || surface->locked == 0) return;
    SDL_UnlockSurface(surface->native);
    --surface->locked;
}

int SDL12_UpperBlit(SDL12_Surface* source, SDL12_Rect* sourceArea, SDL12_Surface* destination,
                    SDL12_Rect* destinationArea) {
    if (!source || !destination) return SDL_SetError("SDL_UpperBlit: passed a NULL surface");
    if (source->locked || destination->locked) return SDL_SetError("Surfaces must not be locked during blit");
    SDL_Rect from{0, 0, source->w, source->h};
    if (sourceArea) from = SDL_Rect{sourceArea->x, sourceArea->y, sourceArea->w, sourceArea->h};
    SDL_Rect to{0, 0, 0, 0};
    if (destinationArea) to = SDL_Rect{destinationArea->x, destinationArea->y, 0, 0};
    const int result = SDL_UpperBlit(source->native, &from, destination->native, &to);
    // SDL 1.2 hands back the area the blit covered.
    if (destinationArea) {
        *destinationArea = SDL12_Rect{static_cast<Sint16>(to.x), static_cast<Sint16>(to.y),
                                      static_cast<Uint16>(to.w), static_cast<Uint16>(to.h)};
    }
    return result;
}

SDL_bool SDL12_SetClipRect(SDL12_Surface* surface, const SDL12_Rect* area) {
    if (!surface) return SDL_FALSE;
    SDL_bool result;
    if (area) {
        const SDL_Rect wide{area->x, area->y, area->w, area->h};
        result = SDL_SetClipRect(surface->native, &wide);
    } else {
        result = SDL_SetClipRect(surface->native, nullptr);
    }
    mirrorClip(surface);
    return result;
}

int SDL12_SetColors(SDL12_Surface* surface, SDL12_Color* colours, int first, int count) {
    if (!surface || !colours || !surface->native->format->palette) return 0;
    SDL_Palette* palette = surface->native->format->palette;
    if (first < 0 || first >= palette->ncolors) return 0;
    const int fitting = count < palette->ncolors - first ? count : palette->ncolors - first;
    SDL_SetPaletteColors(palette, reinterpret_cast<const SDL_Color*>(colours), first, fitting);
    return fitting == count ? 1 : 0;
}

SDL12_Surface* SDL12_ConvertSurface(SDL12_Surface* source, const SDL12_PixelFormat* format, Uint32 flags) {
    if (!source || !format) {
        SDL_InvalidParamError("source");
        return nullptr;
    }
    SDL_PixelFormat* layout = format->native;
    SDL_PixelFormat* made = nullptr;
    if (!layout) {
        const Uint32 id =
            formatOf(format->BitsPerPixel, format->Rmask, format->Gmask, format->Bmask, format->Amask);
        if (id == SDL_PIXELFORMAT_UNKNOWN) {
            SDL_SetError("no SDL2 layout for %d bits with these masks", format->BitsPerPixel);
            return nullptr;
        }
        made = SDL_AllocFormat(id);
        if (!made) return nullptr;
        layout = made;
    }
    SDL_Surface* converted = SDL_ConvertSurface(source->native, layout, 0);
    if (made) SDL_FreeFormat(made);
    SDL12_Surface* result = wrap(converted, SDL12_SWSURFACE);
    if (!result) return nullptr;
    // SDL 1.2 keeps the key and alpha only where the flags ask for them.
    if (!(flags & SDL12_SRCCOLORKEY) && (result->flags & SDL12_SRCCOLORKEY)) SDL12_SetColorKey(result, 0, 0);
    if (flags & SDL12_SRCALPHA) {
        SDL12_SetAlpha(result, SDL12_SRCALPHA, source->format->alpha);
    } else if (!result->format->Amask) {
        SDL12_SetAlpha(result, 0, SDL_ALPHA_OPAQUE);
    }
    return result;
}

SDL12_Surface* SDL12_DisplayFormat(SDL12_Surface* surface) {
    if (!video.screen) {
        SDL_SetError("No video mode has been set");
        return nullptr;
    }
    return SDL12_ConvertSurface(surface, video.screen->format,
                                surface ? surface->flags & (SDL12_SRCCOLORKEY | SDL12_SRCALPHA) : 0);
}

SDL12_Surface* SDL12_DisplayFormatAlpha(SDL12_Surface* surface) {
    if (!video.screen) {
        SDL_SetError("No video mode has been set");
        return nullptr;
    }
    if (!surface) return nullptr;
    // 32 bits with alpha; colour-keyed pixels become transparent.
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(surface->native, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL12_Surface* result = wrap(converted, SDL12_SWSURFACE);
    if (result && (result->flags & SDL12_SRCCOLORKEY)) SDL12_SetColorKey(result, 0, 0);
    return result;
}

const SDL12_VideoInfo* SDL12_GetVideoInfo() {
    static SDL_PixelFormat* desktop = SDL_AllocFormat(SDL_PIXELFORMAT_RGB888);
    if (!desktop) return nullptr;
    describe(video.desktopFormat, desktop, nullptr);
    video.desktopFormat.alpha = SDL_ALPHA_OPAQUE;
    video.info = SDL12_VideoInfo{};
    video.info.wm_available = 1;
    video.info.vfmt = video.screen ? video.screen->format : &video.desktopFormat;
    video.info.current_w = video.screen ? video.screen->w : 0;
    video.info.current_h = video.screen ? video.screen->h : 0;
    return &video.info;
}

SDL12_Surface* SDL12_SetVideoMode(int width, int height, int bitsPerPixel, Uint32 flags) {
    if (flags & SDL12_OPENGL) {
        SDL_SetError("the web build has no OpenGL modes");
        return nullptr;
    }
    if (width <= 0 || height <= 0) {
        SDL_SetError("invalid video mode %dx%d", width, height);
        return nullptr;
    }
    Uint32 layout;
    switch (bitsPerPixel) {
        case 8:
            layout = SDL_PIXELFORMAT_INDEX8;
            break;
        case 15:
            layout = SDL_PIXELFORMAT_RGB555;
            break;
        case 16:
            layout = SDL_PIXELFORMAT_RGB565;
            break;
        case 24:
            layout = SDL_PIXELFORMAT_RGB24;
            break;
        default:
            layout = SDL_PIXELFORMAT_RGB888;
            break;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) < 0) return nullptr;
    releaseScreen();
    if (!video.window) {
        // Full screen is the page's to ask for: a browser grants it only within the user's click.
        video.window = SDL_CreateWindow(video.caption ? video.caption : "", SDL_WINDOWPOS_UNDEFINED,
                                        SDL_WINDOWPOS_UNDEFINED, width, height, 0);
        if (!video.window) return nullptr;
    } else {
        SDL_SetWindowSize(video.window, width, height);
    }
    int depth = 0;
    Uint32 red, green, blue, alpha;
    SDL_PixelFormatEnumToMasks(layout, &depth, &red, &green, &blue, &alpha);
    SDL12_Surface* screen =
        wrap(SDL_CreateRGBSurfaceWithFormat(0, width, height, depth, layout), flags & SDL12_FULLSCREEN);
    if (!screen) return nullptr;
    video.screen = screen;
    return screen;
}

void SDL12_UpdateRect(SDL12_Surface* screen, Sint32 x, Sint32 y, Uint32 width, Uint32 height) {
    if (!screen || screen != video.screen || !video.window) return;
    SDL_Surface* canvas = SDL_GetWindowSurface(video.window);
    if (!canvas) return;
    SDL_Rect area{x, y, static_cast<int>(width), static_cast<int>(height)};
    if (x == 0 && y == 0 && width == 0 && height == 0) area = SDL_Rect{0, 0, screen->w, screen->h};
    SDL_Rect to = area;
    SDL_BlendMode mode;
    SDL_GetSurfaceBlendMode(screen->native, &mode);
    SDL_SetSurfaceBlendMode(screen->native, SDL_BLENDMODE_NONE);
    SDL_UpperBlit(screen->native, &area, canvas, &to);
    SDL_SetSurfaceBlendMode(screen->native, mode);
    SDL_UpdateWindowSurfaceRects(video.window, &to, 1);
}

char* SDL12_VideoDriverName(char* buffer, int length) {
    const char* name = SDL_GetCurrentVideoDriver();
    if (!buffer || length <= 0 || !name) return nullptr;
    SDL_strlcpy(buffer, name, static_cast<size_t>(length));
    return buffer;
}

int SDL12_GL_SwapBuffers() {
    // SDL12_SetVideoMode never opens an OpenGL mode here.
    return SDL_SetError("the web build has no OpenGL modes");
}

int SDL12_PollEvent(SDL12_Event* event) {
    SDL_Event native;
    SDL12_Event translated;
    while (SDL_PollEvent(&native)) {
        if (!translate(native, translated)) continue;
        if (event) *event = translated;
        return 1;
    }
    return 0;
}

int SDL12_PushEvent(SDL12_Event* event) {
    if (!event) return SDL_SetError("no event");
    SDL_Event native;
    std::memset(&native, 0, sizeof native);
    switch (event->type) {
        case SDL12_KEYDOWN:
        case SDL12_KEYUP:
            // The ASCII keys, the only ones SDL12_PollEvent gives back, have the same numbers in both.
            native.type = event->type == SDL12_KEYDOWN ? SDL_KEYDOWN : SDL_KEYUP;
            native.key.state = event->key.state;
            native.key.keysym.sym = static_cast<SDL_Keycode>(event->key.keysym.sym);
            native.key.keysym.mod = event->key.keysym.mod;
            break;
        case SDL12_QUIT:
            native.type = SDL_QUIT;
            break;
        default:
            return SDL_SetError("only key and quit events can be pushed");
    }
    return SDL_PushEvent(&native) == 1 ? 0 : -1;
}

int SDL12_EnableKeyRepeat(int delay, int interval) {
    if (delay < 0 || interval < 0) return SDL_SetError("key repeat values must not be negative");
    // The browser repeats a held key at its own pace; delay 0 turns the repeats off, as in SDL 1.2.
    video.keyRepeat = delay > 0;
    return 0;
}

void SDL12_WarpMouse(Uint16 x, Uint16 y) {
    if (video.window) SDL_WarpMouseInWindow(video.window, x, y);
}

void SDL12_WM_SetCaption(const char* title, const char* iconTitle) {
    if (title) {
        std::free(video.caption);
        video.caption = copyOf(title);
        if (video.window) SDL_SetWindowTitle(video.window, title);
    }
    if (iconTitle) {
        std::free(video.iconCaption);
        video.iconCaption = copyOf(iconTitle);
    }
}

void SDL12_WM_GetCaption(char** title, char** iconTitle) {
    if (title) *title = video.caption;
    if (iconTitle) *iconTitle = video.iconCaption;
}

void SDL12_WM_SetIcon(SDL12_Surface* icon, Uint8*) {
    if (icon && video.window) SDL_SetWindowIcon(video.window, icon->native);
}

SDL12_GrabMode SDL12_WM_GrabInput(SDL12_GrabMode mode) {
    if (!video.window) return SDL12_GRAB_OFF;
    if (mode != SDL12_GRAB_QUERY)
        SDL_SetWindowGrab(video.window, mode == SDL12_GRAB_ON ? SDL_TRUE : SDL_FALSE);
    return SDL_GetWindowGrab(video.window) ? SDL12_GRAB_ON : SDL12_GRAB_OFF;
}

SDL12_RWops* SDL12_RWFromFile(const char* path, const char* mode) {
    SDL_RWops* file = SDL_RWFromFile(path, mode);
    if (!file) return nullptr;
    auto* context = new (std::nothrow) SDL12_RWops{};
    if (!context) {
        SDL_RWclose(file);
        SDL_OutOfMemory();
        return nullptr;
    }
    context->seek = outerSeek;
    context->read = outerRead;
    context->write = outerWrite;
    context->close = outerClose;
    context->hidden.unknown.data1 = file;
    return context;
}

SDL12_Surface* SDL12_LoadBMP_RW(SDL12_RWops* source, int freeSource) {
    if (!source) {
        SDL_InvalidParamError("source");
        return nullptr;
    }
    SDL_RWops* stream = forwardTo(source);
    SDL12_Surface* result = stream ? wrap(SDL_LoadBMP_RW(stream, 1), SDL12_SWSURFACE) : nullptr;
    if (freeSource && source->close) source->close(source);
    return result;
}

int SDL12_SaveBMP_RW(SDL12_Surface* surface, SDL12_RWops* destination, int freeDestination) {
    if (!surface || !destination) return SDL_InvalidParamError("surface");
    SDL_RWops* stream = forwardTo(destination);
    const int result = stream ? SDL_SaveBMP_RW(surface->native, stream, 1) : -1;
    if (freeDestination && destination->close) destination->close(destination);
    return result;
}

// SDL.h (web build): SDL 1.2's names for the layer in sdl12_web.h, so that the display library's units
// compile unchanged in the browser build. Names SDL2 gives the same meaning stay SDL2's.
#pragma once
#include "sdl12_web.h"

#undef SDL_SWSURFACE
#undef SDL_PREALLOC
#undef SDL_RLEACCEL
#undef SDL_BlitSurface
#undef SDL_LoadBMP
#undef SDL_SaveBMP

#define SDL_Rect SDL12_Rect
#define SDL_Color SDL12_Color
#define SDL_Palette SDL12_Palette
#define SDL_PixelFormat SDL12_PixelFormat
#define SDL_Surface SDL12_Surface
#define SDL_Event SDL12_Event
#define SDL_VideoInfo SDL12_VideoInfo
#define SDL_RWops SDL12_RWops
#define SDLKey SDL12Key

#define SDL_SWSURFACE SDL12_SWSURFACE
#define SDL_HWSURFACE SDL12_HWSURFACE
#define SDL_OPENGL SDL12_OPENGL
#define SDL_ASYNCBLIT SDL12_ASYNCBLIT
#define SDL_OPENGLBLIT SDL12_OPENGLBLIT
#define SDL_HWACCEL SDL12_HWACCEL
#define SDL_SRCCOLORKEY SDL12_SRCCOLORKEY
#define SDL_RLEACCELOK SDL12_RLEACCELOK
#define SDL_RLEACCEL SDL12_RLEACCEL
#define SDL_SRCALPHA SDL12_SRCALPHA
#define SDL_PREALLOC SDL12_PREALLOC
#define SDL_ANYFORMAT SDL12_ANYFORMAT
#define SDL_HWPALETTE SDL12_HWPALETTE
#define SDL_FULLSCREEN SDL12_FULLSCREEN

#define SDL_NOEVENT SDL12_NOEVENT
#define SDL_KEYDOWN SDL12_KEYDOWN
#define SDL_KEYUP SDL12_KEYUP
#define SDL_MOUSEMOTION SDL12_MOUSEMOTION
#define SDL_MOUSEBUTTONDOWN SDL12_MOUSEBUTTONDOWN
#define SDL_MOUSEBUTTONUP SDL12_MOUSEBUTTONUP
#define SDL_QUIT SDL12_QUIT
#define SDL_GrabMode SDL12_GrabMode
#define SDL_GRAB_QUERY SDL12_GRAB_QUERY
#define SDL_GRAB_OFF SDL12_GRAB_OFF
#define SDL_GRAB_ON SDL12_GRAB_ON

#define SDL_Quit SDL12_Quit
#define SDL_CreateRGBSurface SDL12_CreateRGBSurface
#define SDL_CreateRGBSurfaceFrom SDL12_CreateRGBSurfaceFrom
#define SDL_FreeSurface SDL12_FreeSurface
#define SDL_FillRect SDL12_FillRect
#define SDL_SetColorKey SDL12_SetColorKey
#define SDL_SetAlpha SDL12_SetAlpha
#define SDL_MapRGB SDL12_MapRGB
#define SDL_MapRGBA SDL12_MapRGBA
#define SDL_GetRGB SDL12_GetRGB
#define SDL_GetRGBA SDL12_GetRGBA
#define SDL_LockSurface SDL12_LockSurface
#define SDL_UnlockSurface SDL12_UnlockSurface
#define SDL_UpperBlit SDL12_UpperBlit
#define SDL_BlitSurface SDL12_UpperBlit
#define SDL_SetClipRect SDL12_SetClipRect
#define SDL_SetColors SDL12_SetColors
#define SDL_ConvertSurface SDL12_ConvertSurface
#define SDL_DisplayFormat SDL12_DisplayFormat
#define SDL_DisplayFormatAlpha SDL12_DisplayFormatAlpha
#define SDL_GetVideoInfo SDL12_GetVideoInfo
#define SDL_SetVideoMode SDL12_SetVideoMode
#define SDL_UpdateRect SDL12_UpdateRect
#define SDL_VideoDriverName SDL12_VideoDriverName
#define SDL_GL_SwapBuffers SDL12_GL_SwapBuffers
#define SDL_PollEvent SDL12_PollEvent
#define SDL_PushEvent SDL12_PushEvent
#define SDL_EnableKeyRepeat SDL12_EnableKeyRepeat
#define SDL_WarpMouse SDL12_WarpMouse
#define SDL_WM_SetCaption SDL12_WM_SetCaption
#define SDL_WM_GetCaption SDL12_WM_GetCaption
#define SDL_WM_SetIcon SDL12_WM_SetIcon
#define SDL_WM_GrabInput SDL12_WM_GrabInput
#define SDL_RWFromFile SDL12_RWFromFile
#define SDL_LoadBMP_RW SDL12_LoadBMP_RW
#define SDL_SaveBMP_RW SDL12_SaveBMP_RW
#define SDL_RWread(context, destination, size, count) (context)->read(context, destination, size, count)

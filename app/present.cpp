// present.cpp: presentation of work surfaces, and the quit keys.
#include "present.h"

#include "platform.h"
#include "sdlptc_console.h"
#include "sdlptc_surface.h"

void presentWorkSurface(const Platform& platform, _vktSurface& surface) {
    if (!surface.surface || !surface.console) return;
    _vktRect area;
    surface.rect(area);
    surface.copyToConsole(*surface.console, area, area);  // result ignored: a lost frame is harmless
    platform.framePresented(surface);
}

bool isQuitKey(int key) {
    return key == KEY_ENTER || key == KEY_ESCAPE || key == KEY_Q;
}

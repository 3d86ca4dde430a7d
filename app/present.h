// present.h: showing a finished work surface on its console, and the keys that end the intro.
#pragma once

class _vktSurface;
struct Platform;

// Copies the whole surface to its console's screen and updates the screen, then tells the platform's
// frame observer; nothing for an empty surface or one made for no console.
void presentWorkSurface(const Platform& platform, _vktSurface& surface);

// Enter, Escape (also a request to close the window) and q.
bool isQuitKey(int key);

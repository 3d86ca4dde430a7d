// quit_request.h: SIGTERM and SIGINT as quit requests, read where the intro reads its keys, so that they
// end it whether or not SDL delivers events.
#pragma once

class _vktPTC;

// Installs the program's handlers for SIGTERM and SIGINT: each signal then makes one quit request. Only
// the program's main calls it; without it no request is ever made (the capture tool keeps its own
// meaning for the signals).
void installQuitSignals();

// The key the intro acts on: KEY_ESCAPE while a quit request is pending (taking that one request, so a
// second signal reads as a second quit key), otherwise the console's readKey().
int readIntroKey(_vktPTC& console);

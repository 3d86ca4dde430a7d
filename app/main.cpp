// main.cpp: the intro's entry function: start-up, the run, and shut-down.
#include <cstdio>
#include <cstdlib>

#include "diag.h"
#include "platform.h"
#include "sdlptc_console.h"
#include "statistics.h"

namespace {

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 200;

}  // namespace

int main() {
    setMessageStreams(stdin, stdout, stderr);
    seedRandomFromTime();
    print("\n KVL dovoz1...init ok!");

    _vktPTC console(kScreenWidth, kScreenHeight, MODE_RGB32, SCREEN_FULL);
    if (!console.isOpen) console.open(kScreenWidth, kScreenHeight, MODE_RGB16, SCREEN_FULL);
    if (!console.isOpen) {
        console.showError("can't set %dx%d 16/32bpp video mode!", kScreenWidth, kScreenHeight);
        exit(1);
    }

    int32_t frameCount = 0;
    uint32_t startTime = 0;
    uint32_t endTime = 0;

    printStatistics(frameCount, startTime, endTime);
    console.close();
    return 0;
}

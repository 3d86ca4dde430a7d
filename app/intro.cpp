// intro.cpp: the intro's run, from its tables to the statistics.
#include "intro.h"

#include <cstdio>
#include <cstdlib>

#include "bassmod_player.h"
#include "diag.h"
#include "fade.h"
#include "frame_loop.h"
#include "module_load.h"
#include "sdlptc_console.h"
#include "sdlptc_imageloader.h"
#include "sdlptc_surface.h"
#include "statistics.h"

namespace {

constexpr const char* kPictureName = "data\\pic1_256x256.png";
constexpr const char* kFontSheetName = "data\\fonts.png";
constexpr const char* kSpriteName = "data\\vozuz.png";
constexpr const char* kModuleName = "data\\ruvadodad.mod";
constexpr int kTextWidth = 180;  // 20 cells of 9 pixels
constexpr int kTextHeight = 72;  // 8 rows of 9 pixels
constexpr uint32_t kMagenta = 0xFF00FF;

// Start-up failures end the program at once: the console shows why; nothing else is released.
[[noreturn]] void fail(_vktPTC& console, const char* message) {
    console.showError("%s", message);
    exit(1);
}

[[noreturn]] void failNamed(_vktPTC& console, const char* format, const char* name) {
    console.showError(format, name);
    exit(1);
}

// Loads a picture resource and brings it to the work format.
void loadPicture(_vktPTC& console, _vktSurface& surface, const char* name) {
    if (!loadImageResource(surface, name, SURFACE_SOFTWARE, 0))
        failNamed(console, "can't load file '%s'!", name);
    if (!surface.convert(_vktFormat(FORMAT_XRGB8888))) fail(console, "can't convert surface!");
}

}  // namespace

int runIntro(const IntroSettings& settings, Platform platform) {
    setMessageStreams(stdin, stdout, stderr);
    if (settings.fixedSeed) {
        platform.generator.seed(settings.seed);
    } else {
        platform.generator.seedFromTime();
    }
    print("\n KVL dovoz1...init ok!");

    _vktPTC console(INTRO_WIDTH, INTRO_HEIGHT, MODE_RGB32, SCREEN_FULL);
    if (!console.isOpen) console.open(INTRO_WIDTH, INTRO_HEIGHT, MODE_RGB16, SCREEN_FULL);
    if (!console.isOpen) {
        console.showError("can't set %dx%d 16/32bpp video mode!", INTRO_WIDTH, INTRO_HEIGHT);
        exit(1);
    }

    const _vktFormat workFormat(FORMAT_XRGB8888);
    _vktSurface surface1(&console, INTRO_WIDTH, INTRO_HEIGHT, workFormat, SURFACE_SOFTWARE, 0);
    if (!surface1.surface) fail(console, "can't set surface1!");
    _vktSurface surface2(&console, INTRO_WIDTH, INTRO_HEIGHT, workFormat, SURFACE_SOFTWARE, 0);
    if (!surface2.surface) fail(console, "can't set surface2!");
    print("\n           ...video init ok!");

    _vktSurface picture;
    loadPicture(console, picture, kPictureName);
    // The effect needs a 256×256 texture whatever the resource holds.
    if (!picture.resize(256, 256)) fail(console, "can't resize surface!");

    _vktSurface fontSheet;
    loadPicture(console, fontSheet, kFontSheetName);
    fontSheet.setColorKey(fontSheet.mapRGB(0, 60, 60), 0);

    _vktSurface textSurface(kTextWidth, kTextHeight, workFormat, SURFACE_SOFTWARE, 0);
    if (!textSurface.surface) fail(console, "can't create surface!");
    textSurface.fill(kMagenta);
    textSurface.setColorKey(kMagenta, 0);

    _vktSurface sprite;
    loadPicture(console, sprite, kSpriteName);
    sprite.setColorKey(kMagenta, 0);

    _vktBassModPlayer player(settings.musicDevice);
    if (!player.status) fail(console, "can't initialize player!");
    // The module loads while the opening fade plays (the fade leaves the player alone); a failed load
    // still ends the start-up, once the fade is over.
    ModuleLoad moduleLoad(player, kModuleName);

    int32_t frameCount = 0;
    uint32_t startTime = 0;
    uint32_t endTime = 0;
    PlayerVolume music(player);
    const int faded = fade(platform, console, surface1, surface2, music, FADE_IN);
    if (!moduleLoad.finish()) failNamed(console, "can't load modfile '%s'!", kModuleName);
    // A quit during the opening fade skips the music and the loop: the statistics stay at 0.
    if (faded) {
        player.setVolume(100);
        if (!player.play()) fail(console, "can't play module!");
        FrameLoop loop(platform, console, surface1, surface2, picture, fontSheet, textSurface, sprite, music);
        armScheduler(platform, loop.scheduler);
        startTime = platform.clockMs();
        if (settings.beforeFrameLoop) settings.beforeFrameLoop();
        loop.run();
        frameCount = loop.frameCount;
        endTime = loop.endTime;
    }

    player.pause();
    player.shutdown();
    printStatistics(frameCount, startTime, endTime);
    console.close();
    return 0;
}

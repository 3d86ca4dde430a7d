// intro.cpp: the intro's run, from its tables to the statistics.
#include "intro.h"

#include <cstdio>
#include <utility>

#include "diag.h"
#include "sdlptc_imageloader.h"
#include "statistics.h"

namespace {

constexpr const char* kPictureName = "data\\pic1_256x256.png";
constexpr const char* kFontSheetName = "data\\fonts.png";
constexpr const char* kSpriteName = "data\\vozuz.png";
constexpr const char* kModuleName = "data\\ruvadodad.mod";
constexpr int kTextWidth = 180;  // 20 cells of 9 pixels
constexpr int kTextHeight = 72;  // 8 rows of 9 pixels
constexpr uint32_t kMagenta = 0xFF00FF;

}  // namespace

Intro::Intro(const IntroSettings& settings, Platform platform)
    : settings(settings), platform(std::move(platform)) {}

bool Intro::fail(const char* message) {
    console->showError("%s", message);
    phase = Phase::Failed;
    return false;
}

bool Intro::failNamed(const char* format, const char* name) {
    console->showError(format, name);
    phase = Phase::Failed;
    return false;
}

bool Intro::loadPicture(_vktSurface& surface, const char* name) {
    if (!loadImageResource(surface, name, SURFACE_SOFTWARE, 0))
        return failNamed("can't load file '%s'!", name);
    if (!surface.convert(_vktFormat(FORMAT_XRGB8888))) return fail("can't convert surface!");
    return true;
}

bool Intro::start() {
    setMessageStreams(stdout, stderr);
    if (settings.fixedSeed) {
        platform.generator.seed(settings.seed);
    } else {
        platform.generator.seedFromTime();
    }
    print("\n KVL dovoz1...init ok!");

    console.emplace(INTRO_WIDTH, INTRO_HEIGHT, MODE_RGB32, SCREEN_FULL);
    if (!console->isOpen) console->open(INTRO_WIDTH, INTRO_HEIGHT, MODE_RGB16, SCREEN_FULL);
    if (!console->isOpen) {
        console->showError("can't set %dx%d 16/32bpp video mode!", INTRO_WIDTH, INTRO_HEIGHT);
        phase = Phase::Failed;
        return false;
    }

    const _vktFormat workFormat(FORMAT_XRGB8888);
    surface1.createFor(&*console, INTRO_WIDTH, INTRO_HEIGHT, workFormat, SURFACE_SOFTWARE, 0);
    if (!surface1.surface) return fail("can't set surface1!");
    surface2.createFor(&*console, INTRO_WIDTH, INTRO_HEIGHT, workFormat, SURFACE_SOFTWARE, 0);
    if (!surface2.surface) return fail("can't set surface2!");
    print("\n           ...video init ok!");

    if (!loadPicture(picture, kPictureName)) return false;
    // The effect needs a 256×256 texture whatever the resource holds.
    if (!picture.resize(256, 256)) return fail("can't resize surface!");

    if (!loadPicture(fontSheet, kFontSheetName)) return false;
    fontSheet.setColorKey(fontSheet.mapRGB(0, 60, 60), 0);

    textSurface.create(kTextWidth, kTextHeight, workFormat, SURFACE_SOFTWARE, 0);
    if (!textSurface.surface) return fail("can't create surface!");
    textSurface.fill(kMagenta);
    textSurface.setColorKey(kMagenta, 0);

    if (!loadPicture(sprite, kSpriteName)) return false;
    sprite.setColorKey(kMagenta, 0);

    player.emplace(settings.musicDevice);
    if (!player->status) return fail("can't initialize player!");
    // The module loads while the opening fade plays (the fade leaves the player alone); a failed load
    // still ends the start-up, once the fade is over.
    moduleLoad.emplace(*player, kModuleName);
    music.emplace(*player);
    opening.emplace(*console, surface1, surface2, *music, FADE_IN);
    phase = Phase::Opening;
    return true;
}

bool Intro::enterLoop() {
    player->setVolume(100);
    if (!player->play()) return fail("can't play module!");
    loop.emplace(platform, *console, surface1, surface2, picture, fontSheet, textSurface, sprite, *music);
    armScheduler(platform, loop->scheduler());
    startTime = platform.clockMs();
    if (settings.beforeFrameLoop) settings.beforeFrameLoop();
    phase = Phase::Loop;
    return true;
}

bool Intro::advance() {
    if (phase == Phase::Opening) {
        const FadePass pass = opening->pass(platform);
        if (pass == FadePass::Presented) {
            due = opening->nextFrameDue();
            return true;
        }
        if (!moduleLoad->finish()) return failNamed("can't load modfile '%s'!", kModuleName);
        // A quit during the opening fade skips the music and the loop: the statistics stay at 0.
        if (pass == FadePass::Cut) {
            phase = Phase::Over;
            return false;
        }
        if (!enterLoop()) return false;
    }
    if (phase != Phase::Loop) return false;
    if (!loop->advance()) {
        phase = Phase::Over;
        return false;
    }
    due = loop->nextFrameDue();
    return true;
}

void Intro::finish() {
    if (player) {
        player->pause();
        player->shutdown();
    }
    if (loop) {
        printStatistics(loop->frameCount(), startTime, loop->endTime());
    } else {
        printStatistics(0, 0, 0);
    }
    if (console) console->close();
}

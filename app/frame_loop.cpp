// frame_loop.cpp: the frame loop and its scheduler.
#include "frame_loop.h"

#include <utility>

#include "present.h"
#include "quit_request.h"
#include "sdlptc_console.h"
#include "sdlptc_imageloader.h"
#include "sdlptc_surface.h"
#include "timing.h"

namespace {

// 1000 × trunc(span × u + least) milliseconds from now.
uint32_t randomDeadline(Platform& platform, uint32_t now, int span, int least) {
    const int seconds = static_cast<int>(span * randomUnit(platform) + least);
    return now + 1000u * static_cast<uint32_t>(seconds);
}

// distortPicture takes bare pixels: rows without gaps, in exactly these sizes.
bool hasLayout(_vktSurface& surface, int width, int height) {
    return surface.bytesPerPixel() == 4 && surface.width() == width && surface.height() == height &&
           surface.pitch() == width * 4;
}

}  // namespace

double randomUnit(Platform& platform) {
    constexpr float unit = 1.0f / 32767.0f;  // just below 1/32767, so the result never reaches 1
    return platform.randomValue() * static_cast<double>(unit);
}

void armScheduler(Platform& platform, Scheduler& scheduler) {
    scheduler.spriteDeadline = randomDeadline(platform, platform.clockMs(), 35, 25);
    scheduler.modeDeadline = randomDeadline(platform, platform.clockMs(), 10, 15);
    scheduler.effectMode = static_cast<int>(7 * randomUnit(platform));
}

void advanceEffectMode(Scheduler& scheduler) {
    scheduler.effectMode = (scheduler.effectMode + 1) % EFFECT_MODES;
}

void popSprite(Platform& platform, Scheduler& scheduler, int spriteWidth, int spriteHeight) {
    scheduler.spriteFrames = SPRITE_SHOW_FRAMES;
    scheduler.spriteX =
        static_cast<int>(randomUnit(platform) * static_cast<float>(INTRO_WIDTH - spriteWidth));
    scheduler.spriteY =
        static_cast<int>(randomUnit(platform) * static_cast<float>(INTRO_HEIGHT - spriteHeight));
}

void runTimers(Platform& platform, Scheduler& scheduler, int spriteWidth, int spriteHeight) {
    // The signed difference of clockPassed keeps both timers right across the 2^32 ms wrap.
    uint32_t now = platform.clockMs();
    if (clockPassed(now, scheduler.spriteDeadline)) {
        scheduler.spriteDeadline = randomDeadline(platform, now, 35, 10);
        popSprite(platform, scheduler, spriteWidth, spriteHeight);
    }
    now = platform.clockMs();
    if (clockPassed(now, scheduler.modeDeadline)) {
        scheduler.modeDeadline = randomDeadline(platform, now, 10, 15);
        advanceEffectMode(scheduler);
    }
}

EffectParameters stepMotion(Scheduler& scheduler) {
    if (scheduler.zoomRising == 1) {
        scheduler.zoom = scheduler.zoom + 0.05f;
        if (scheduler.zoom > 10.0f) scheduler.zoomRising = 0;
    } else {
        scheduler.zoom = scheduler.zoom - 0.2f;
        if (scheduler.zoom < 0.02f) scheduler.zoomRising = 1;
    }

    if (--scheduler.spinCountdown == 0) {
        scheduler.spinCountdown = SPIN_FRAMES;
        if (scheduler.spinRising == 1) {
            if (++scheduler.spinSpeed > SPIN_LIMIT) scheduler.spinRising = 0;
        } else {
            if (--scheduler.spinSpeed < -SPIN_LIMIT) scheduler.spinRising = 1;
        }
    }
    // An angle step of 0 would freeze the picture: a count reaching 0 moves on one more at once.
    if (scheduler.spinSpeed == 0) scheduler.spinSpeed = scheduler.spinRising == 1 ? 1 : -1;

    const ModeTwist twist = modeTable[scheduler.effectMode & (EFFECT_MODES - 1)];
    if (twist.pixelTwist != 0 || twist.rowTwist != 0) {
        scheduler.spinSpeed = PINNED_SPIN;
        scheduler.zoom = 1.0f;
    }
    return {2 * scheduler.spinSpeed, scheduler.zoom, twist.pixelTwist, twist.rowTwist};
}

FrameLoop::FrameLoop(Platform& platform, _vktPTC& console, _vktSurface& first, _vktSurface& second,
                     _vktSurface& picture, _vktSurface& fontSheet, _vktSurface& textSurface,
                     _vktSurface& sprite, VolumeControl& music)
    : platform(platform),
      console(console),
      picture(picture),
      fontSheet(fontSheet),
      textSurface(textSurface),
      sprite(sprite),
      music(music),
      drawn(&first),
      spare(&second) {
    pictureEffect.buildSineTables(DISTORT_AMPLITUDE);
    ramp.build();
    typewriter.init();
}

bool FrameLoop::advance() {
    if (over) return false;
    if (!closing) {
        if (loopFrame()) return true;
        // The closing fade starts on the surface this frame would have drawn, in the same call.
        closing.emplace(console, *drawn, *spare, music, FADE_OUT);
    }
    // The fade's end, run out or cut short, ends the intro either way.
    if (closing->pass(platform) != FadePass::Presented) {
        over = true;
        return false;
    }
    due = closing->nextFrameDue();
    return true;
}

bool FrameLoop::loopFrame() {
    // Keys come before the timers, so a quit key wins over a timer falling due in the same frame.
    const int key = readIntroKey(console);
    if (isQuitKey(key)) {
        quitTime = platform.clockMs();
        return false;
    }
    if (key == KEY_SPACE) {
        advanceEffectMode(schedule);
    } else if (key == KEY_B) {
        popSprite(platform, schedule, sprite.width(), sprite.height());
    } else if (key == KEY_S) {
        saveBMP(*drawn, SCREENSHOT_FILE);  // result ignored: a failed screenshot is silent
    }

    runTimers(platform, schedule, sprite.width(), sprite.height());
    due = platform.clockMs() + FRAME_MS;
    drawFrame(stepMotion(schedule));
    presentWorkSurface(platform, *drawn);
    ++frames;
    std::swap(drawn, spare);
    return true;
}

void FrameLoop::drawFrame(const EffectParameters& parameters) {
    // Lock and blit results are not examined: start-up has made sure every surface holds pixels.
    if (hasLayout(picture, DISTORT_TEXTURE_SIZE, DISTORT_TEXTURE_SIZE) &&
        hasLayout(*drawn, DISTORT_WIDTH, DISTORT_HEIGHT)) {
        const uint32_t* texels = static_cast<const uint32_t*>(picture.lock());
        uint32_t* pixels = static_cast<uint32_t*>(drawn->lock());
        pictureEffect.distortPicture(pixels, texels, parameters.angleStep, parameters.zoom,
                                     parameters.pixelTwist, parameters.rowTwist);
        picture.unlock();
        drawn->unlock();
    }
    ramp.drawRasterRows(*drawn);

    if (schedule.spriteFrames > 0) {
        --schedule.spriteFrames;
        sprite.blitAt(*drawn, schedule.spriteX, schedule.spriteY);
    }
    if (typewriter.update(textSurface, fontSheet)) {
        textSurface.blitAt(*drawn, (INTRO_WIDTH - textSurface.width()) / 2,
                           (INTRO_HEIGHT - textSurface.height()) / 2);
    }
}

// The real program as a user runs it: on an X server with a window manager, keys pressed through X,
// sound written by SDL's disk audio driver, and what it prints, returns, saves and shows checked.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>

#include "image.h"
#include "program_runner.h"
#include "user_run.h"
#include "x_session.h"

namespace {

constexpr double kFade = OPENING_FADE_SECONDS;
constexpr int kScreenWidth = 1280;  // 5:4, so the 8:5 picture must be letterboxed top and bottom
constexpr int kScreenHeight = 1024;
constexpr int kPictureTop = (kScreenHeight - kScreenWidth * 200 / 320) / 2;  // 112
constexpr int kPictureBottom = kScreenHeight - kPictureTop;                  // 912
constexpr uint32_t kMagenta = 0xFF00FF;
constexpr uint32_t kFontBackground = 0x003C3C;
// The text page sits centred on the frame: 180×72 at (70, 64).
constexpr int kTextX = 70, kTextY = 64, kTextWidth = 180, kTextHeight = 72;
// Printed once the window is up; the opening fade starts as soon as the resources are loaded.
const std::string kVideoReady = "...video init ok!";
const std::string kStatisticsOfNoFrames = "\n\n\n\n frames: 0\n MAX_FPS: 25\n fps: 0.000\n\n\n";

std::string dataFile(const std::string& name) {
    return std::string(DOVOZ1_SOURCE_DIR) + "/data/" + name;
}

const std::set<uint32_t>& pictureColours() {
    static const std::set<uint32_t> colours = distinctColours(readPng(dataFile("pic1_256x256.png")));
    return colours;
}

const std::set<uint32_t>& glyphColours() {
    static const std::set<uint32_t> colours =
        distinctColours(readPng(dataFile("fonts.png")), kFontBackground);
    return colours;
}

struct SpritePixel {
    int x, y;
    uint32_t colour;
};

// The sprite's figure: every pixel but the magenta background.
const std::vector<SpritePixel>& spriteFigure() {
    static const std::vector<SpritePixel> figure = [] {
        const Image sprite = readPng(dataFile("vozuz.png"));
        std::vector<SpritePixel> pixels;
        for (int y = 0; y < sprite.height; ++y) {
            for (int x = 0; x < sprite.width; ++x) {
                if (sprite.at(x, y) != kMagenta) pixels.push_back({x, y, sprite.at(x, y)});
            }
        }
        return pixels;
    }();
    return figure;
}

// What a screenshot shows, pixel by pixel: every pixel must be a colour of the picture, a raster-row
// colour in its place, a sprite pixel in its place, or a glyph colour inside the text page.
struct ScreenshotReading {
    int rampOffset = -1;  // the ramp position whose pattern the bottom row shows in full; -1: none
    int spriteX = -1, spriteY = -1;
    double spriteShown = 0;  // share of the sprite's figure found at (spriteX, spriteY)
    int unexplained = 0;
    size_t pictureColoursShown = 0;
};

ScreenshotReading readScreenshot(const Image& shot, bool findSprite) {
    ScreenshotReading reading;
    if (shot.width != 320 || shot.height != 200) return reading;
    const auto ramp = colourRamp();
    // The bottom row is never covered (the sprite ends above it), so it alone fixes the ramp position.
    for (int offset = 0; offset < 2048 && reading.rampOffset < 0; offset += 8) {
        bool whole = true;
        for (int k = 0; k < 320 && whole; ++k) whole = shot.at(319 - k, 199) == ramp[(offset + 4 * k) % 2048];
        if (whole) reading.rampOffset = offset;
    }

    const std::vector<SpritePixel>& figure = spriteFigure();
    std::vector<int64_t> spriteAt(320 * 200, -1);
    if (findSprite && !figure.empty()) {
        const Image sprite = readPng(dataFile("vozuz.png"));
        const size_t step = std::max<size_t>(1, figure.size() / 64);
        int best = -1;
        for (int y = 0; y + sprite.height <= 200; ++y) {
            for (int x = 0; x + sprite.width <= 320; ++x) {
                // A sample of the figure first: most places fail it at once.
                size_t sampled = 0, hits = 0;
                for (size_t i = 0; i < figure.size(); i += step, ++sampled) {
                    hits += shot.at(x + figure[i].x, y + figure[i].y) == figure[i].colour;
                }
                if (hits * 2 < sampled) continue;
                int matches = 0;
                for (const SpritePixel& p : figure) matches += shot.at(x + p.x, y + p.y) == p.colour;
                if (matches > best) best = matches, reading.spriteX = x, reading.spriteY = y;
            }
        }
        if (best > 0) {
            reading.spriteShown = double(best) / figure.size();
            for (const SpritePixel& p : figure) {
                spriteAt[(reading.spriteY + p.y) * 320 + reading.spriteX + p.x] = p.colour;
            }
        }
    }

    std::set<uint32_t> shown;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const uint32_t pixel = shot.at(x, y);
            const bool inText =
                x >= kTextX && x < kTextX + kTextWidth && y >= kTextY && y < kTextY + kTextHeight;
            if (inText && glyphColours().count(pixel)) continue;
            if (spriteAt[y * 320 + x] >= 0) {
                reading.unexplained += pixel != spriteAt[y * 320 + x];
            } else if (y == 0 || y == 199) {
                const int k = y == 0 ? x : 319 - x;
                reading.unexplained +=
                    reading.rampOffset < 0 || pixel != ramp[(reading.rampOffset + 4 * k) % 2048];
            } else if (pictureColours().count(pixel)) {
                shown.insert(pixel);
            } else {
                ++reading.unexplained;
            }
        }
    }
    reading.pictureColoursShown = shown.size();
    return reading;
}

// The ramp position of the frame drawn two frames before the one in which s was read (the screenshot
// saves the surface drawn then); frame n paints with 8 × (n + 1).
int expectedRampOffset(int screenshotFrame) {
    return ((8 * (screenshotFrame - 1)) % 2048 + 2048) % 2048;
}

int rampDistance(int a, int b) {
    const int d = std::abs(a - b) % 2048;
    return std::min(d, 2048 - d);
}

// The frame loop's own count of its time against the wall clock: it started after the opening fade,
// which itself started once the resources were loaded after the marker, and ended with the quit. The
// rate never exceeds the cap; on a busy machine some frames take longer than 40 ms and are not caught
// up, so it may fall below it.
void expectLoopTime(const Statistics& statistics, double loopWallSeconds) {
    ASSERT_GT(statistics.frames, 0);
    ASSERT_GT(statistics.fps, 0);
    EXPECT_LE(statistics.fps, 25.05);
    EXPECT_GE(statistics.fps, 12.0);
    const double loopSeconds = statistics.frames / statistics.fps;
    EXPECT_GE(loopSeconds, loopWallSeconds - 0.8);
    EXPECT_LE(loopSeconds, loopWallSeconds + 0.15);
}

// The music ramped down to silence before the closing fade ended, and played at full volume before it.
void expectMusicFadedOut(const Audio& audio) {
    const double last = audio.lastSound();
    ASSERT_GT(last, 3.0);
    // The volume is 0 for the fade's last 12 frames, nearly half a second.
    EXPECT_GE(audio.seconds() - last, 0.25);
    const double before = audio.rms(last - 3.0, last - 2.1);
    EXPECT_GT(before, 0.05);
    EXPECT_LT(audio.rms(last - 1.0, last - 0.5), 0.75 * before);
    EXPECT_LT(audio.rms(last - 0.5, last), 0.35 * before);
}

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    double fill = 0;  // share of the box in its most common colour
    uint32_t colour = 0;
};

// The bounds of everything that is not black on a black screen, and how much of it is one colour.
Box drawnRegion(const Image& screen) {
    int left = screen.width, top = screen.height, right = -1, bottom = -1;
    for (int y = 0; y < screen.height; ++y) {
        for (int x = 0; x < screen.width; ++x) {
            if (screen.at(x, y) == 0) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    Box box;
    if (right < 0) return box;
    box = {left, top, right - left + 1, bottom - top + 1};
    std::map<uint32_t, int> counts;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) ++counts[screen.at(x, y)];
    }
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    box.colour = most->first;
    box.fill = double(most->second) / (double(box.width) * box.height);
    return box;
}

bool looksLikeAMessageBox(const Box& box) {
    return box.width >= 120 && box.width <= 1000 && box.height >= 40 && box.height <= 500 &&
           box.fill >= 0.5 && box.colour != 0;
}

class XProgramTest : public testing::Test {
protected:
    void SetUp() override {
        session = std::make_unique<XSession>(kScreenWidth, kScreenHeight);
        ASSERT_TRUE(session->running()) << session->error();
        work = makeTempDirectory();
        sound = makeTempDirectory();
        ASSERT_FALSE(work.empty());
        ASSERT_FALSE(sound.empty());
    }

    void TearDown() override {
        session.reset();
        removeTree(work);
        removeTree(sound);
    }

    // As a user starts it from a terminal on the desktop; the sound goes to a file beside, not in, the
    // working directory.
    ProgramRun userRun(const std::string& program = DOVOZ1_PROGRAM) {
        ProgramRun run;
        run.path = program;
        run.environment = {{"DISPLAY", session->display()},
                           {"SDL_AUDIODRIVER", "disk"},
                           {"SDL_DISKAUDIOFILE", sound + "/audio.raw"}};
        run.unset = {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "SDL12COMPAT_SCALE_METHOD", "LD_PRELOAD"};
        run.workingDirectory = work;
        run.marker = kVideoReady;
        run.timeoutSeconds = 19.0;
        return run;
    }

    // Runs it, and checks what every run must do: end by itself and leave nothing running.
    ProgramResult runAsUser(const ProgramRun& run) {
        ProgramResult result = runProgram(run);
        EXPECT_FALSE(result.timedOut) << "the program hung and was killed\n" << result.err;
        EXPECT_FALSE(result.leftProcesses) << "a process of the program outlived it";
        EXPECT_TRUE(processesOf(run.path).empty()) << "the program is still running";
        EXPECT_GE(result.markerSeconds, 0) << "never printed '" << run.marker << "'\n"
                                           << result.out << result.err;
        return result;
    }

    std::function<void()> press(const std::string& key) {
        return [this, key] { EXPECT_TRUE(session->pressKey(key)) << key; };
    }

    // Captures the screen until a message box is on it (the program shows it just after its line on
    // standard error), then dismisses it with Enter as a user would.
    std::function<void()> readAndDismissBox(Box& box) {
        return [this, &box] {
            for (int i = 0; i < 40 && !looksLikeAMessageBox(box); ++i) {
                if (i > 0) usleep(100000);
                box = drawnRegion(session->grabScreen());
            }
            EXPECT_TRUE(session->pressKey("Return"));
        };
    }

    Audio audio() const { return readAudio(sound + "/audio.raw"); }

    std::unique_ptr<XSession> session;
    std::string work;
    std::string sound;
};

TEST_F(XProgramTest, NormalRunShowsTheIntroPlaysTheMusicAndEndsWithStatistics) {
    Image screen;
    std::vector<std::string> filesBeforeScreenshot{"not looked at"};
    ProgramRun run = userRun();
    run.actions = {
        {kFade + 1.6, [&] { screen = session->grabScreen(); }},
        {kFade + 2.4, press("space")},
        {kFade + 3.0, press("space")},
        {kFade + 3.6, press("b")},
        {kFade + 4.6,
         [&] {
             filesBeforeScreenshot = filesIn(work);
             EXPECT_TRUE(session->pressKey("s"));
         }},
        {kFade + 6.4, press("Escape")},
    };
    const ProgramResult result = runAsUser(run);
    ASSERT_EQ(result.actionSeconds.size(), run.actions.size()) << result.out << result.err;
    const double screenshotAt = result.actionSeconds[4];
    const double escapeAt = result.actionSeconds[5];

    // Output and exit status: the two start-up lines, then the statistics of a loop that ran from the
    // end of the opening fade to Escape.
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const Statistics statistics = parseStatistics(result.out);
    ASSERT_GT(statistics.frames, 0) << result.out;
    expectLoopTime(statistics, escapeAt - result.markerSeconds - kFade);
    // The closing fade ran to its end before the program finished.
    EXPECT_GE(result.endSeconds - escapeAt, kFade - 0.1);

    // Files: nothing in the working directory before s, then only the screenshot.
    EXPECT_TRUE(filesBeforeScreenshot.empty()) << filesBeforeScreenshot.front();
    EXPECT_EQ(filesIn(work), std::vector<std::string>{"screenshot.bmp"});

    // The screenshot: 320×200 of the picture effect, raster rows from the ramp (the bottom row the top
    // row mirrored), the sprite popped up by b, and the text page.
    const Image shot = readBmp(work + "/screenshot.bmp");
    ASSERT_EQ(shot.width, 320);
    ASSERT_EQ(shot.height, 200);
    const ScreenshotReading reading = readScreenshot(shot, true);
    EXPECT_GE(reading.rampOffset, 0) << "the bottom row is not a stretch of the colour ramp";
    EXPECT_GE(reading.spriteShown, 0.7) << "sprite at best " << reading.spriteX << "," << reading.spriteY;
    EXPECT_LE(reading.spriteX, 320 - 134);
    EXPECT_LE(reading.spriteY, 200 - 136);
    EXPECT_EQ(reading.unexplained, 0);
    EXPECT_GE(reading.pictureColoursShown, 64u);
    // The ramp moves 8 entries a frame, so its position dates the picture: the frame in which s was read
    // lies as many frames before the end as the time from s to Escape holds at the run's rate.
    const int screenshotFrame =
        statistics.frames - static_cast<int>((escapeAt - screenshotAt) * statistics.fps + 0.5);
    EXPECT_LE(rampDistance(reading.rampOffset, expectedRampOffset(screenshotFrame)), 8 * 10)
        << "ramp at " << reading.rampOffset << ", frame about " << screenshotFrame;

    // The X screen: the picture scaled to the full width with its aspect ratio kept, black bars above
    // and below.
    ASSERT_EQ(screen.width, kScreenWidth);
    ASSERT_EQ(screen.height, kScreenHeight);
    int barPixels = 0, litBarPixels = 0, picturePixels = 0, litPicturePixels = 0, litEdgePixels = 0,
        edgePixels = 0;
    std::set<uint32_t> screenColours;
    for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            const uint32_t pixel = screen.at(x, y);
            if (y < kPictureTop - 2 || y >= kPictureBottom + 2) {
                ++barPixels, litBarPixels += pixel != 0;
            } else if (y >= kPictureTop + 4 && y < kPictureBottom - 4) {
                ++picturePixels, litPicturePixels += pixel != 0;
                screenColours.insert(pixel);
                if (x < 8 || x >= kScreenWidth - 8) ++edgePixels, litEdgePixels += pixel != 0;
            }
        }
    }
    EXPECT_EQ(litBarPixels, 0) << "of " << barPixels;
    EXPECT_GE(litPicturePixels, picturePixels * 0.95);
    EXPECT_GE(litEdgePixels, edgePixels * 0.9) << "the picture does not reach the screen's sides";
    EXPECT_GE(screenColours.size(), 64u);

    // The sound: silence through the opening fade, music from its end, ramped down in the closing fade.
    const Audio sound = audio();
    const double first = sound.firstSound();
    EXPECT_GE(first, kFade - 0.1) << "music during the opening fade";
    EXPECT_LE(first, kFade + 1.0);
    EXPECT_GT(sound.rms(first + 0.2, first + 1.7), 0.05);
    expectMusicFadedOut(sound);
}

// Quit keys during the opening fade end the program at once: no music, no frames.
class QuitDuringOpeningFadeTest : public XProgramTest, public testing::WithParamInterface<std::string> {};

TEST_P(QuitDuringOpeningFadeTest, EndsAtOnceWithNoFramesAndNoMusic) {
    ProgramRun run = userRun();
    const std::string quit = GetParam();
    run.actions = {
        {1.0, [&] { EXPECT_TRUE(quit == "close" ? session->closeWindows() : session->pressKey(quit)); }}};
    const ProgramResult result = runAsUser(run);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, START_LINES + kStatisticsOfNoFrames);
    ASSERT_EQ(result.actionSeconds.size(), 1u);
    // The fade stops at the key: a full one would have gone on for 1.5 s more.
    EXPECT_LT(result.endSeconds - result.actionSeconds[0], 1.2);
    EXPECT_TRUE(filesIn(work).empty());
    const Audio sound = audio();
    EXPECT_GE(sound.seconds(), 0.5);
    EXPECT_EQ(sound.firstSound(), -1.0) << "sound in the audio file";
}

INSTANTIATE_TEST_SUITE_P(Keys, QuitDuringOpeningFadeTest, testing::Values("q", "Return", "close"),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param == "close" ? std::string("CloseWindow") : info.param;
                         });

TEST_F(XProgramTest, SecondQuitKeyCutsTheClosingFadeShort) {
    ProgramRun run = userRun();
    run.actions = {{kFade + 2.0, press("Escape")}, {kFade + 2.8, press("q")}};
    const ProgramResult result = runAsUser(run);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    ASSERT_EQ(result.actionSeconds.size(), 2u);
    expectLoopTime(parseStatistics(result.out), result.actionSeconds[0] - result.markerSeconds - kFade);
    // It ended at the second key, well before a whole closing fade (2.48 s) could have run.
    EXPECT_LT(result.endSeconds - result.actionSeconds[1], 0.8);
    EXPECT_LT(result.endSeconds - result.actionSeconds[0], kFade - 0.6);
    // The music stopped at its reduced volume, not after ramping down to silence.
    const Audio sound = audio();
    const double last = sound.lastSound();
    ASSERT_GT(last, 2.0);
    EXPECT_LT(sound.seconds() - last, 0.25);
    EXPECT_GT(sound.rms(last - 0.3, last), 0.35 * sound.rms(last - 2.0, last - 1.0));
    EXPECT_TRUE(filesIn(work).empty());
}

// Ctrl+C in the terminal and kill both read as the quit key: the closing fade, statistics, exit 0.
class QuitSignalTest : public XProgramTest, public testing::WithParamInterface<int> {};

TEST_P(QuitSignalTest, PlaysTheClosingFadeAndPrintsStatistics) {
    Image fadeScreen;
    ProgramRun run = userRun();
    run.signals = {{kFade + 2.5, GetParam()}};
    run.actions = {{kFade + 3.7, [&] { fadeScreen = session->grabScreen(); }}};
    const ProgramResult result = runAsUser(run);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.signal, 0);
    ASSERT_EQ(result.signalSeconds.size(), 1u);
    const double signalAt = result.signalSeconds[0];
    expectLoopTime(parseStatistics(result.out), signalAt - result.markerSeconds - kFade);
    EXPECT_GE(result.endSeconds - signalAt, kFade - 0.1);

    // Halfway through, the closing fade fills the picture's place with one light grey (two at most, if
    // the capture caught a frame change) and leaves the bars black.
    ASSERT_EQ(fadeScreen.width, kScreenWidth);
    std::set<uint32_t> greys;
    int litBarPixels = 0;
    for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            const uint32_t pixel = fadeScreen.at(x, y);
            if (y < kPictureTop - 2 || y >= kPictureBottom + 2) litBarPixels += pixel != 0;
            if (y >= kPictureTop + 4 && y < kPictureBottom - 4) greys.insert(pixel);
        }
    }
    EXPECT_EQ(litBarPixels, 0);
    ASSERT_GE(greys.size(), 1u);
    EXPECT_LE(greys.size(), 2u);
    for (uint32_t grey : greys) {
        EXPECT_EQ(grey, (grey & 0xFF) * 0x010101u) << std::hex << grey;
        EXPECT_GE(grey & 0xFF, 128u) << std::hex << grey;
    }

    expectMusicFadedOut(audio());
    EXPECT_TRUE(filesIn(work).empty());
}

// With SDL delivering no events at all, the signals still reach the intro: the first starts the closing
// fade, a second cuts it short, as quit keys would.
TEST_P(QuitSignalTest, EndsTheIntroWhenSdlDeliversNoEvents) {
    ProgramRun run = userRun();
    run.unset.erase(std::remove(run.unset.begin(), run.unset.end(), "LD_PRELOAD"), run.unset.end());
    run.environment.emplace_back("LD_PRELOAD", DOVOZ1_WITHHOLD_EVENTS_LIBRARY);
    run.signals = {{kFade + 2.0, GetParam()}, {kFade + 3.2, GetParam()}};
    const ProgramResult result = runAsUser(run);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    ASSERT_EQ(result.signalSeconds.size(), 2u);
    expectLoopTime(parseStatistics(result.out), result.signalSeconds[0] - result.markerSeconds - kFade);
    // The music was ramping down (1.2 s into the fade: 40 % volume) when it stopped, still audible.
    const Audio sound = audio();
    const double first = sound.firstSound();
    const double last = sound.lastSound();
    ASSERT_GT(last, first + 2.0);
    EXPECT_LT(sound.seconds() - last, 0.25);
    const double full = sound.rms(first + 0.2, first + 1.7);
    EXPECT_LT(sound.rms(last - 0.3, last), 0.75 * full);
    EXPECT_GT(sound.rms(last - 0.3, last), 0.2 * full);
}

INSTANTIATE_TEST_SUITE_P(Signals, QuitSignalTest, testing::Values(SIGTERM, SIGINT),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "Sigterm" : "Sigint");
                         });

TEST_F(XProgramTest, FallsBackTo16BitsAndStillSavesFullColourScreenshots) {
    bool preloaded = false;
    ProgramRun run = userRun();
    run.unset.erase(std::remove(run.unset.begin(), run.unset.end(), "LD_PRELOAD"), run.unset.end());
    run.environment.emplace_back("LD_PRELOAD", DOVOZ1_REFUSE_MODES_LIBRARY);
    run.environment.emplace_back("DOVOZ1_REFUSE_BITS", "32");
    run.actions = {
        {kFade + 1.5,
         [&] {
             // The refusing library really is in the running program.
             for (pid_t pid : processesOf(run.path)) {
                 std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
                 std::string text((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
                 preloaded = preloaded || text.find("refuse_video_modes") != std::string::npos;
             }
         }},
        {kFade + 2.0, press("s")},
        {kFade + 3.0, press("Escape")},
    };
    const ProgramResult result = runAsUser(run);
    EXPECT_TRUE(preloaded);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_GT(parseStatistics(result.out).frames, 0) << result.out;
    EXPECT_EQ(filesIn(work), std::vector<std::string>{"screenshot.bmp"});

    // The screenshot comes from the 32-bit work surface, not from the 16-bit screen: the picture's own
    // colours, with the low bits that 5 bits of red would have lost.
    const Image shot = readBmp(work + "/screenshot.bmp");
    ASSERT_EQ(shot.width, 320);
    ASSERT_EQ(shot.height, 200);
    const ScreenshotReading reading = readScreenshot(shot, false);
    EXPECT_GE(reading.rampOffset, 0);
    EXPECT_EQ(reading.unexplained, 0);
    EXPECT_GE(reading.pictureColoursShown, 64u);
    const auto lowRedBits = std::count_if(shot.pixels.begin(), shot.pixels.end(),
                                          [](uint32_t pixel) { return (pixel >> 16 & 7) != 0; });
    EXPECT_GE(lowRedBits, static_cast<long>(shot.pixels.size() / 4));
}

TEST_F(XProgramTest, RefusingEveryModeShowsTheMessageBoxAndExitsWithOne) {
    const std::string message = "can't set 320x200 16/32bpp video mode!";
    Box box;
    ProgramRun run = userRun();
    run.unset.erase(std::remove(run.unset.begin(), run.unset.end(), "LD_PRELOAD"), run.unset.end());
    run.environment.emplace_back("LD_PRELOAD", DOVOZ1_REFUSE_MODES_LIBRARY);
    run.environment.emplace_back("DOVOZ1_REFUSE_BITS", "all");
    run.marker = message;
    run.actions = {{0.2, readAndDismissBox(box)}, {2.0, press("Return")}};
    const ProgramResult result = runAsUser(run);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, FIRST_LINE);
    EXPECT_NE(result.err.find(message + "\n"), std::string::npos) << result.err;
    EXPECT_TRUE(looksLikeAMessageBox(box)) << box.width << "x" << box.height << " at " << box.x << ","
                                           << box.y << ", " << box.fill << " of one colour";
    EXPECT_TRUE(filesIn(work).empty());
}

// A sound system that cannot play: no such driver, or a device that cannot be opened.
class NoSoundDeviceTest : public XProgramTest,
                          public testing::WithParamInterface<std::pair<std::string, std::string>> {};

TEST_P(NoSoundDeviceTest, ShowsThePlayerMessageAndExitsWithOne) {
    const std::string message = "can't initialize player!";
    Box box;
    ProgramRun run = userRun();
    run.environment = {{"DISPLAY", session->display()},
                       {"SDL_AUDIODRIVER", GetParam().first},
                       {"SDL_DISKAUDIOFILE", GetParam().second}};
    run.marker = message;
    run.actions = {{0.2, readAndDismissBox(box)}, {2.0, press("Return")}};
    const ProgramResult result = runAsUser(run);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, START_LINES);
    EXPECT_NE(result.err.find(message + "\n"), std::string::npos) << result.err;
    EXPECT_TRUE(looksLikeAMessageBox(box)) << box.width << "x" << box.height;
    EXPECT_TRUE(filesIn(work).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, NoSoundDeviceTest,
    testing::Values(std::make_pair(std::string("no-such-driver"), std::string("/nonexistent/audio.raw")),
                    std::make_pair(std::string("disk"), std::string("/nonexistent/audio.raw"))),
    [](const auto& info) {
        return std::string(info.param.first == "disk" ? "UnopenableDevice" : "UnknownDriver");
    });

}  // namespace

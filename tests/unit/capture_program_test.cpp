// Tests of dovoz1-capture as a program: what two captures share, what a seed changes, the lengths of
// pictures and music, the music itself, and frames compared with the intro's own screenshots.
#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bassmod_player.h"
#include "frame_loop.h"
#include "sdlptc_imageloader.h"
#include "sdlptc_surface.h"
#include "virtual_run.h"

namespace {

constexpr int FADE_FRAMES = 62;
constexpr size_t AUDIO_FRAMES = 1764;  // stereo frames per picture frame
constexpr int SPRITE_WIDTH = 134;      // the embedded sprite
constexpr int SPRITE_HEIGHT = 136;

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// RGB bytes of a PNG, decoded by libpng; empty when it does not decode.
std::vector<uint8_t> decodePng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    if (image.width != 320 || image.height != 200) return {};
    return rgb;
}

std::string frameName(const std::string& directory, int index) {
    char name[32];
    snprintf(name, sizeof name, "/frame_%06d.png", index);
    return directory + name;
}

int countFrames(const std::string& directory) {
    int count = 0;
    while (std::filesystem::exists(frameName(directory, count))) ++count;
    return count;
}

// The samples of audio.wav after checking that its header is 44100 Hz 16-bit stereo PCM of the size
// the file has.
std::vector<int16_t> readWav(const std::string& path) {
    const std::string bytes = readFile(path);
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 8, "WAVEfmt ") != 0 ||
        bytes.compare(36, 4, "data") != 0)
        return {};
    auto le32 = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
    };
    if (bytes.compare(20, 4, std::string("\x01\0\x02\0", 4)) != 0 || le32(24) != 44100 ||
        bytes.compare(32, 4, std::string("\x04\0\x10\0", 4)) != 0)
        return {};
    if (le32(40) != bytes.size() - 44 || le32(4) != bytes.size() - 8) return {};
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[44 + 2 * i]) |
                                          static_cast<uint8_t>(bytes[45 + 2 * i]) << 8);
    return samples;
}

// One picture frame's stereo samples.
std::vector<int16_t> audioOfFrame(const std::vector<int16_t>& samples, size_t frame) {
    const size_t from = std::min(samples.size(), frame * AUDIO_FRAMES * 2);
    const size_t to = std::min(samples.size(), from + AUDIO_FRAMES * 2);
    return std::vector<int16_t>(samples.begin() + from, samples.begin() + to);
}

struct ProgramExit {
    int status = -1;  // exit status, -1 when it did not exit by itself
    std::string out;
    std::string err;
};

// Starts dovoz1-capture with the arguments, its standard output and error into files beside base.
pid_t startCapture(const std::vector<std::string>& arguments, const std::string& base,
                   const char* path = nullptr) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen((base + ".out").c_str(), "w", stdout) || !freopen((base + ".err").c_str(), "w", stderr))
            _exit(126);
        if (path) setenv("PATH", path, 1);
        std::vector<char*> argv{const_cast<char*>(DOVOZ1_CAPTURE_PROGRAM)};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

ProgramExit finishCapture(pid_t pid, const std::string& base) {
    ProgramExit result;
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.out = readFile(base + ".out");
    result.err = readFile(base + ".err");
    std::filesystem::remove(base + ".out");
    std::filesystem::remove(base + ".err");
    return result;
}

class CaptureProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/dovoz1-capture-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(root); }

    // Runs a capture into root/name; its exit and standard error.
    ProgramExit capture(const std::string& name, std::vector<std::string> arguments,
                        const char* path = nullptr) {
        arguments.insert(arguments.begin(), root + "/" + name);
        const std::string base = root + "/" + name;
        return finishCapture(startCapture(arguments, base, path), base);
    }

    std::string root;
};

TEST_F(CaptureProgramTest, SameArgumentsGiveTheSameBytesAndTheLengthsAddUp) {
    const std::vector<std::string> arguments = {"--seconds", "2", "--seed", "7", "--keys", "0.2:b,1:space"};
    const ProgramExit first = capture("a", arguments);
    const ProgramExit second = capture("b", arguments);
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(second.status, 0) << second.err;
    // The intro's own statistics: on the virtual clock its frames are exactly 40 ms apart.
    EXPECT_NE(first.out.find("\n frames: 50\n MAX_FPS: 25\n fps: 25.000"), std::string::npos) << first.out;

    // The opening fade, 2 s of loop, the closing fade.
    const int frames = FADE_FRAMES + 2 * 25 + FADE_FRAMES;
    EXPECT_EQ(countFrames(root + "/a"), frames);
    EXPECT_EQ(countFrames(root + "/b"), frames);
    for (int i = 0; i < frames; ++i)
        ASSERT_EQ(readFile(frameName(root + "/a", i)), readFile(frameName(root + "/b", i))) << "frame " << i;
    const std::string audio = readFile(root + "/a/audio.wav");
    EXPECT_EQ(audio, readFile(root + "/b/audio.wav"));

    const std::vector<int16_t> samples = readWav(root + "/a/audio.wav");
    ASSERT_EQ(samples.size(), frames * AUDIO_FRAMES * 2);
    // Silence while the opening fade runs; the music from the loop's first frame on.
    for (size_t i = 0; i < FADE_FRAMES * AUDIO_FRAMES * 2; ++i) ASSERT_EQ(samples[i], 0) << i;
    const std::vector<int16_t> firstLoopFrame = audioOfFrame(samples, FADE_FRAMES);
    EXPECT_NE(std::count(firstLoopFrame.begin(), firstLoopFrame.end(), 0),
              static_cast<long>(firstLoopFrame.size()));
}

// The music in the file is the module rendered offline from its start with the first loop frame, at
// the volume the intro sets, down to silence in the closing fade.
TEST_F(CaptureProgramTest, MusicIsTheModuleAtTheVolumeTheIntroSets) {
    const ProgramExit run = capture("c", {"--seconds", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<int16_t> samples = readWav(root + "/c/audio.wav");
    const size_t loopFrames = 50;
    ASSERT_EQ(samples.size(), (2 * FADE_FRAMES + loopFrames) * AUDIO_FRAMES * 2);

    _vktBassModPlayer player(BASSMOD_DEVICE_NONE);
    ASSERT_NE(player.status, 0);
    ASSERT_NE(player.loadResource("data\\ruvadodad.mod"), 0);
    player.setVolume(100);
    ASSERT_NE(player.play(), 0);
    std::vector<int16_t> reference(AUDIO_FRAMES * 2);
    for (size_t frame = 0; frame < loopFrames + FADE_FRAMES; ++frame) {
        ASSERT_NE(BASSMOD_Render(reference.data(), static_cast<int>(AUDIO_FRAMES)), 0);
        const std::vector<int16_t> captured = audioOfFrame(samples, FADE_FRAMES + frame);
        if (frame < loopFrames) {
            ASSERT_EQ(captured, reference) << "loop frame " << frame;
            continue;
        }
        // The closing fade's k-th frame plays at the volume of its k-th call: 100, 98, ..., 2, 0, 0, ...
        const int k = static_cast<int>(frame - loopFrames) + 1;
        const int volume = std::max(0, 102 - 2 * k);
        // The first few samples still glide from the volume before.
        for (size_t i = 16; i < captured.size(); ++i) {
            const double expected = reference[i] * volume / 100.0;
            ASSERT_NEAR(captured[i], expected, 1.0) << "fade frame " << k << " sample " << i;
        }
    }
}

// Positions the sprite takes after a seed, by the intro's own arming and pop-up.
struct Draw {
    int mode;
    int spriteX;
    int spriteY;
};
Draw drawsOfSeed(uint32_t seed) {
    Platform platform;
    platform.generator.seed(seed);
    Scheduler scheduler;
    armScheduler(platform, scheduler);
    popSprite(platform, scheduler, SPRITE_WIDTH, SPRITE_HEIGHT);
    return {scheduler.effectMode, scheduler.spriteX, scheduler.spriteY};
}

bool inside(int x, int y, const Draw& draw) {
    return x >= draw.spriteX && x < draw.spriteX + SPRITE_WIDTH && y >= draw.spriteY &&
           y < draw.spriteY + SPRITE_HEIGHT;
}

TEST_F(CaptureProgramTest, AnotherSeedMovesOnlyTheSprite) {
    // A second seed whose first effect mode is seed 1's, with the sprite somewhere else.
    const Draw one = drawsOfSeed(1);
    uint32_t seed = 2;
    Draw other = drawsOfSeed(seed);
    while (other.mode != one.mode || std::abs(other.spriteX - one.spriteX) < 20) other = drawsOfSeed(++seed);

    const std::vector<std::string> keys = {"--seconds", "1", "--keys", "0:b"};
    std::vector<std::string> withSeed = keys;
    withSeed.insert(withSeed.end(), {"--seed", std::to_string(seed)});
    const ProgramExit first = capture("one", keys);
    const ProgramExit second = capture("other", withSeed);
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(readFile(root + "/one/audio.wav"), readFile(root + "/other/audio.wav"));
    for (int i = 0; i < FADE_FRAMES; ++i)
        ASSERT_EQ(readFile(frameName(root + "/one", i)), readFile(frameName(root + "/other", i))) << i;

    for (int i = FADE_FRAMES; i < FADE_FRAMES + 25; ++i) {
        const std::vector<uint8_t> a = decodePng(frameName(root + "/one", i));
        const std::vector<uint8_t> b = decodePng(frameName(root + "/other", i));
        ASSERT_FALSE(a.empty());
        ASSERT_FALSE(b.empty());
        int differing = 0;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 320; ++x) {
                const size_t at = 3 * (y * 320 + x);
                if (a[at] == b[at] && a[at + 1] == b[at + 1] && a[at + 2] == b[at + 2]) continue;
                ++differing;
                ASSERT_TRUE(inside(x, y, one) || inside(x, y, other))
                    << "frame " << i << " at " << x << "," << y;
            }
        }
        EXPECT_GT(differing, 1000) << "frame " << i;
    }
}

// The RGB pixels of the screenshot file; empty when it is missing or not 320×200.
std::vector<uint8_t> screenshotRgb() {
    SDL_Surface* shot = SDL_LoadBMP(SCREENSHOT_FILE);
    if (!shot || shot->w != 320 || shot->h != 200) return {};
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            uint32_t value = 0;
            const int bytes = shot->format->BytesPerPixel;
            memcpy(&value, static_cast<uint8_t*>(shot->pixels) + y * shot->pitch + x * bytes, bytes);
            uint8_t r, g, b;
            SDL_GetRGB(value, shot->format, &r, &g, &b);
            rgb.insert(rgb.end(), {r, g, b});
        }
    }
    SDL_FreeSurface(shot);
    return rgb;
}

// A screenshot saves the picture presented two frames before the one that read the key: here the first
// frames with the sprite and in the next effect mode, so a key a frame late or early shows. The intro's
// own virtual run in this process reads each screenshot back as soon as its frame is presented.
TEST_F(CaptureProgramTest, FramesAreWhatTheIntroItselfShows) {
    const ProgramExit run = capture("d", {"--seconds", "2", "--keys", "0.2:b,1:space"});
    ASSERT_EQ(run.status, 0) << run.err;

    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(root.c_str()), 0);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const std::vector<int> shotFrames = {7, 27};  // loop frames that read s
    std::map<int, std::vector<uint8_t>> screenshots;
    int shown = 0;
    VirtualRun own(RunScript{1, 50, {{5, SDLK_b}, {7, SDLK_s}, {25, SDLK_SPACE}, {27, SDLK_s}}},
                   [&](const _vktSurface&, const int16_t*) {
                       const int loopFrame = shown++ - FADE_FRAMES;
                       for (int frame : shotFrames)
                           if (loopFrame == frame) screenshots[frame] = screenshotRgb();
                   });
    ASSERT_TRUE(own.start());
    while (own.advance()) {
    }
    own.finish();
    EXPECT_EQ(chdir(previous), 0);
    free(previous);

    ASSERT_EQ(screenshots.size(), 2u);
    for (const auto& [frame, rgb] : screenshots) {
        ASSERT_EQ(rgb.size(), 320u * 200 * 3) << frame;
        EXPECT_TRUE(rgb == decodePng(frameName(root + "/d", FADE_FRAMES + frame - 2)))
            << "loop frame " << frame;
        // And not merely any frame: the one before differs.
        EXPECT_FALSE(rgb == decodePng(frameName(root + "/d", FADE_FRAMES + frame - 3)))
            << "loop frame " << frame;
    }
}

// An interrupt ends the loop at the next frame; the closing fade is captured whole, pictures and music
// stay in step.
TEST_F(CaptureProgramTest, InterruptEndsWithTheClosingFade) {
    const std::string directory = root + "/e";
    const pid_t pid = startCapture({directory, "--seconds", "600"}, directory);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(frameName(directory, FADE_FRAMES + 10)) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGINT);
    const ProgramExit run = finishCapture(pid, directory);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("ended early"), std::string::npos) << run.err;

    const int frames = countFrames(directory);
    ASSERT_GT(frames, 2 * FADE_FRAMES + 10);
    ASSERT_LT(frames, 2 * FADE_FRAMES + 600 * 25);
    const std::vector<int16_t> samples = readWav(directory + "/audio.wav");
    EXPECT_EQ(samples.size(), frames * AUDIO_FRAMES * 2);
    // The fade's last grey, 7, and its last 11 frames without music.
    const std::vector<uint8_t> last = decodePng(frameName(directory, frames - 1));
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(std::count(last.begin(), last.end(), 7), static_cast<long>(last.size()));
    const size_t silentFrom = (frames - 11) * AUDIO_FRAMES * 2;
    EXPECT_EQ(std::count(samples.begin() + silentFrom, samples.end(), 0),
              static_cast<long>(samples.size() - silentFrom));
}

TEST_F(CaptureProgramTest, ZeroSecondsGiveTheFadesAndLeftoversOfALongerCaptureGo) {
    std::filesystem::create_directories(root + "/f");
    for (int i : {120, 124, 125}) std::ofstream(frameName(root + "/f", i)) << "old";
    const ProgramExit run = capture("f", {"--seconds", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(countFrames(root + "/f"), 2 * FADE_FRAMES);
    EXPECT_NE(readFile(frameName(root + "/f", 120)), "old");
    EXPECT_EQ(readWav(root + "/f/audio.wav").size(), 2 * FADE_FRAMES * AUDIO_FRAMES * 2);
}

TEST_F(CaptureProgramTest, MistakesAndAMissingFfmpegExitWithTwoBeforeCapturing) {
    ProgramExit run = capture("g", {"--video", "g.mp4", "--seconds", "0"}, "/nonexistent");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("ffmpeg"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(root + "/g"));

    run = capture("h", {"--seconds", "1", "--keys", "2:b"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage:"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(root + "/h"));

    // A file where the directory should be.
    std::ofstream(root + "/i") << "in the way";
    run = capture("i", {"--seconds", "0"});
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(run.err.empty());
}

// The video has the scaled size, every frame, and the audio. ffmpeg is one of the test tools.
TEST_F(CaptureProgramTest, VideoHasTheScaledFramesAndTheAudio) {
    const std::string probe =
        "ffprobe -v error -show_entries stream=codec_type,width,height,nb_frames,duration -of compact ";
    ASSERT_EQ(system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1"), 0)
        << "ffmpeg is not installed (scripts/install-deps.sh --test installs it)";
    const ProgramExit run = capture("v", {"--seconds", "0", "--video", root + "/v.mp4"});
    ASSERT_EQ(run.status, 0) << run.err;
    FILE* pipe = popen((probe + root + "/v.mp4").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string streams;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) streams += buffer;
    pclose(pipe);
    EXPECT_NE(streams.find("codec_type=video|width=1600|height=1200|duration=4.960000|nb_frames=124"),
              std::string::npos)
        << streams;
    EXPECT_NE(streams.find("codec_type=audio"), std::string::npos) << streams;
}

}  // namespace

// Tests of what dovoz1-capture writes and runs: frame PNGs, the WAV file, finding and calling ffmpeg,
// frame names, the expected length and the progress line.
#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capture.h"
#include "frame_png.h"
#include "video_mux.h"
#include "wav_writer.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// RGB bytes of a PNG, decoded by libpng; empty when it does not decode.
std::vector<uint8_t> decodePng(const std::string& path, int& width, int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return rgb;
}

class CaptureFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/dovoz1-capture-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string directory;
};

// A frame in the work format and in a 16-bit format both come out as the same 8-bit RGB.
TEST_F(CaptureFilesTest, FramesDecodeToTheirPixelsFromAnyFormat) {
    SDL_Surface* work = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 200, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_Surface* narrow = SDL_CreateRGBSurface(SDL_SWSURFACE, 7, 3, 16, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(work, nullptr);
    ASSERT_NE(narrow, nullptr);
    for (int y = 0; y < 200; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(work->pixels) + y * work->pitch);
        for (int x = 0; x < 320; ++x) row[x] = 0xAB000000u | (x & 0xFF) << 16 | y << 8 | ((x + y) & 0xFF);
    }
    uint16_t* pixels = static_cast<uint16_t*>(narrow->pixels);
    pixels[0] = 0xF800;  // pure red
    pixels[1] = 0x07E0;  // pure green
    pixels[narrow->pitch / 2] = 0x001F;

    std::string error;
    ASSERT_TRUE(writeFramePng(directory + "/work.png", work, error)) << error;
    ASSERT_TRUE(writeFramePng(directory + "/narrow.png", narrow, error)) << error;
    // 8-bit RGB, not interlaced, as the header says.
    EXPECT_EQ(readFile(directory + "/work.png").substr(12, 17),
              std::string("IHDR\0\0\x01\x40\0\0\0\xC8\x08\x02\0\0\0", 17));

    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb = decodePng(directory + "/work.png", width, height);
    ASSERT_EQ(width, 320);
    ASSERT_EQ(height, 200);
    for (int y = 0; y < 200; y += 7) {
        for (int x = 0; x < 320; x += 5) {
            const uint8_t* at = &rgb[3 * (y * 320 + x)];
            ASSERT_EQ(at[0], x & 0xFF);
            ASSERT_EQ(at[1], y);
            ASSERT_EQ(at[2], (x + y) & 0xFF);
        }
    }
    rgb = decodePng(directory + "/narrow.png", width, height);
    ASSERT_EQ(width, 7);
    ASSERT_EQ(height, 3);
    EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 9),
              (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(rgb.begin() + 21, rgb.begin() + 24), (std::vector<uint8_t>{0, 0, 255}));

    // The same picture gives the same bytes: no time stamp.
    ASSERT_TRUE(writeFramePng(directory + "/again.png", work, error)) << error;
    EXPECT_EQ(readFile(directory + "/again.png"), readFile(directory + "/work.png"));
    SDL_FreeSurface(work);
    SDL_FreeSurface(narrow);
}

TEST_F(CaptureFilesTest, AFrameThatCannotBeWrittenSaysWhyAndLeavesNoFile) {
    SDL_Surface* work = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    std::string error;
    EXPECT_FALSE(writeFramePng(directory + "/missing/frame.png", work, error));
    EXPECT_NE(error.find("missing/frame.png"), std::string::npos) << error;
    EXPECT_FALSE(writeFramePng(directory + "/empty.png", nullptr, error));
    EXPECT_FALSE(std::filesystem::exists(directory + "/empty.png"));
    // A full disk: the bytes cannot go out, and the half-written file is removed.
    if (std::filesystem::exists("/dev/full")) {
        const std::string link = directory + "/full.png";
        std::filesystem::create_symlink("/dev/full", link);
        EXPECT_FALSE(writeFramePng(link, work, error));
        EXPECT_FALSE(error.empty());
    }
    SDL_FreeSurface(work);
}

TEST_F(CaptureFilesTest, WavHeaderCarriesTheSizesOnceClosed) {
    const std::string path = directory + "/audio.wav";
    {
        WavWriter wav;
        std::string error;
        ASSERT_TRUE(wav.open(path, 44100, error)) << error;
        // Before close the sizes read 0: a capture cut off midway still opens as a valid, empty file.
        EXPECT_EQ(readFile(path).substr(40, 4), std::string("\0\0\0\0", 4));
        const int16_t samples[] = {0x1234, -2, 0, 32767, -32768, 1};
        ASSERT_TRUE(wav.append(samples, 3, error)) << error;
        ASSERT_TRUE(wav.append(samples, 0, error)) << error;
        EXPECT_EQ(wav.framesWritten, 3);
        ASSERT_TRUE(wav.close(error)) << error;
        EXPECT_FALSE(wav.append(samples, 1, error));
    }
    const std::string expected = std::string(
        "RIFF\x30\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0data\x0C\0\0\0"
        "\x34\x12\xFE\xFF\0\0\xFF\x7F\0\x80\x01\0",
        56);
    EXPECT_EQ(readFile(path), expected);

    WavWriter refused;
    std::string error;
    EXPECT_FALSE(refused.open(directory + "/missing/audio.wav", 44100, error));
    EXPECT_NE(error.find("missing/audio.wav"), std::string::npos);
}

// The destructor closes too, so an early return still leaves the right sizes.
TEST_F(CaptureFilesTest, WavClosedByItsDestructor) {
    const std::string path = directory + "/audio.wav";
    {
        WavWriter wav;
        std::string error;
        ASSERT_TRUE(wav.open(path, 8000, error));
        const int16_t samples[4] = {};
        ASSERT_TRUE(wav.append(samples, 2, error));
    }
    const std::string bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 52u);
    EXPECT_EQ(bytes.substr(4, 4), std::string("\x2C\0\0\0", 4));
    EXPECT_EQ(bytes.substr(40, 4), std::string("\x08\0\0\0", 4));
}

TEST_F(CaptureFilesTest, FfmpegIsFoundOnlyAsAnExecutableFileOnThePath) {
    const std::string bin = directory + "/bin";
    const std::string other = directory + "/other";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(other + "/ffmpeg");  // a directory of that name is no program
    std::ofstream(bin + "/ffmpeg") << "#!/bin/sh\n";
    EXPECT_EQ(findExecutable("ffmpeg", other + ":" + bin), "");  // not executable yet
    chmod((bin + "/ffmpeg").c_str(), 0755);
    EXPECT_EQ(findExecutable("ffmpeg", other + ":" + bin), bin + "/ffmpeg");
    EXPECT_EQ(findExecutable("ffmpeg", other), "");
    EXPECT_EQ(findExecutable("ffmpeg", ""), findExecutable("ffmpeg", "."));
    EXPECT_EQ(findExecutable("bin/ffmpeg", directory), "");

    const std::vector<std::string> arguments = muxArguments(bin + "/ffmpeg", "/out", "/videos/-x.mp4");
    ASSERT_FALSE(arguments.empty());
    EXPECT_EQ(arguments.front(), bin + "/ffmpeg");
    EXPECT_EQ(arguments.back(), "/videos/-x.mp4");
    auto after = [&](const std::string& option) {
        for (size_t i = 0; i + 1 < arguments.size(); ++i)
            if (arguments[i] == option) return arguments[i + 1];
        return std::string();
    };
    EXPECT_EQ(after("-framerate"), "25");
    EXPECT_EQ(after("-start_number"), "0");
    EXPECT_EQ(after("-vf"), "scale=1600:1200:flags=neighbor");
    // Frames first, then the audio.
    EXPECT_EQ(after("-i"), "/out/frame_%06d.png");
    EXPECT_NE(std::find(arguments.begin(), arguments.end(), "/out/audio.wav"), arguments.end());
    EXPECT_EQ(muxArguments("ffmpeg", "/out", "-v.mp4").back(), "./-v.mp4");

    std::string error;
    EXPECT_TRUE(runAndWait({"/bin/sh", "-c", "exit 0"}, error)) << error;
    EXPECT_FALSE(runAndWait({"/bin/sh", "-c", "exit 3"}, error));
    EXPECT_NE(error.find("status 3"), std::string::npos) << error;
    EXPECT_FALSE(runAndWait({directory + "/no-such-program"}, error));
    EXPECT_FALSE(error.empty());
}

TEST(CaptureTimelineTest, NamesLengthsAndProgress) {
    EXPECT_EQ(framePath("/out", 0), "/out/frame_000000.png");
    EXPECT_EQ(framePath("o", 123456), "o/frame_123456.png");

    CaptureOptions options;
    options.loopFrames = 50;
    EXPECT_EQ(expectedFrames(options), 62 + 50 + 62);
    // A quit key that is not the last key of its frame does nothing; the first one that is ends the loop.
    options.keys = {{5, SDLK_q}, {5, SDLK_b}, {20, SDLK_SPACE}, {30, SCRIPT_KEY_CLOSE}, {40, SDLK_ESCAPE}};
    EXPECT_EQ(expectedFrames(options), 62 + 30 + 62);

    EXPECT_EQ(progressLine(812, 1624, 4.0),
              "dovoz1-capture: 812/1624 frames, 32.5 of 65.0 s of intro, about 4 s left");
    EXPECT_EQ(progressLine(0, 1624, 0.0), "dovoz1-capture: 0/1624 frames, 0.0 of 65.0 s of intro");
}

}  // namespace

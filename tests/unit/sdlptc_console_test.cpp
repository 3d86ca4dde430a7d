// The console: what it asks SDL for, how it reads keys, and its harmless closed state.
#include "sdlptc_console.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "interpose_SDL_SetVideoMode.h"

namespace {

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        videoModeCalls.clear();
        glAttributeCalls.clear();
        refusedVideoModeBits = 0;
    }
    void TearDown() override {
        refusedVideoModeBits = 0;
        SDL_Quit();
    }

    static void pushKey(SDLKey key, Uint8 type = SDL_KEYDOWN) {
        SDL_Event event{};
        event.type = type;
        event.key.type = type;
        event.key.keysym.sym = key;
        ASSERT_EQ(SDL_PushEvent(&event), 0);
    }
    static void pushEvent(Uint8 type) {
        SDL_Event event{};
        event.type = type;
        ASSERT_EQ(SDL_PushEvent(&event), 0);
    }
};

TEST_F(ConsoleTest, ModeCodesAndScreenKindsReachSDL) {
    struct Case {
        int mode, kind, bits;
        Uint32 flags;
    };
    const Case cases[] = {
        {MODE_RGB32, SCREEN_FULL, 32, SDL_FULLSCREEN | SDL_HWSURFACE},
        {MODE_RGB16, SCREEN_FULL, 16, SDL_FULLSCREEN | SDL_HWSURFACE},
        {MODE_INDEX8, SCREEN_WINDOW_CURSOR, 8, SDL_HWSURFACE | SDL_HWPALETTE},
        {1117, 39, 32, SDL_HWSURFACE},  // unknown codes act as MODE_RGB32, unknown kinds as a window
        {1127, 42, 32, SDL_HWSURFACE},
        {MODE_GLBLIT16, SCREEN_FULL, 16, SDL_FULLSCREEN | SDL_HWSURFACE | SDL_OPENGLBLIT},
    };
    for (const Case& c : cases) {
        videoModeCalls.clear();
        refusedVideoModeBits = -1;  // only the request matters here
        _vktPTC console(320, 200, c.mode, c.kind);
        ASSERT_EQ(videoModeCalls.size(), 1u) << c.mode;
        EXPECT_EQ(videoModeCalls[0].width, 320);
        EXPECT_EQ(videoModeCalls[0].height, 200);
        EXPECT_EQ(videoModeCalls[0].bits, c.bits) << c.mode;
        EXPECT_EQ(videoModeCalls[0].flags, c.flags) << c.mode << " " << c.kind;
        EXPECT_EQ(console.isOpen, 0);
    }
}

TEST_F(ConsoleTest, OpenGLModesSetColourSizesFirst) {
    refusedVideoModeBits = -1;
    _vktPTC console(64, 64, MODE_GL8, SCREEN_FULL);
    using A = std::pair<SDL_GLattr, int>;
    const std::vector<A> expected8 = {A{SDL_GL_BUFFER_SIZE, 8}, A{SDL_GL_RED_SIZE, 2},
                                      A{SDL_GL_GREEN_SIZE, 3}, A{SDL_GL_BLUE_SIZE, 3}};
    EXPECT_EQ(glAttributeCalls, expected8);
    EXPECT_EQ(videoModeCalls.back().flags, SDL_FULLSCREEN | SDL_HWSURFACE | SDL_OPENGL);
    glAttributeCalls.clear();
    console.open(64, 64, MODE_GL16, SCREEN_FULL);
    const std::vector<A> expected16 = {A{SDL_GL_BUFFER_SIZE, 16}, A{SDL_GL_RED_SIZE, 5},
                                       A{SDL_GL_GREEN_SIZE, 6}, A{SDL_GL_BLUE_SIZE, 5}};
    EXPECT_EQ(glAttributeCalls, expected16);
    glAttributeCalls.clear();
    console.open(64, 64, MODE_RGB32, SCREEN_FULL);
    EXPECT_TRUE(glAttributeCalls.empty());
}

TEST_F(ConsoleTest, GLAttributeCodesMapToSDLAndRefuseOutsiders) {
    _vktPTC console;
    EXPECT_EQ(console.setGLAttribute(0, 1), 0);
    EXPECT_EQ(console.setGLAttribute(13, 1), 0);
    EXPECT_TRUE(glAttributeCalls.empty());
    console.setGLAttribute(8, 1);
    console.setGLAttribute(6, 24);
    console.setGLAttribute(12, 4);
    using A = std::pair<SDL_GLattr, int>;
    const std::vector<A> expected = {A{SDL_GL_DOUBLEBUFFER, 1}, A{SDL_GL_DEPTH_SIZE, 24},
                                     A{SDL_GL_ACCUM_ALPHA_SIZE, 4}};
    EXPECT_EQ(glAttributeCalls, expected);
    int value = 0;
    EXPECT_EQ(console.getGLAttribute(3, nullptr), 0);
    EXPECT_EQ(console.getGLAttribute(13, &value), 0);
}

TEST_F(ConsoleTest, FallsBackTo16BitsWhen32AreRefused) {
    refusedVideoModeBits = 32;
    _vktPTC console(320, 200, MODE_RGB32, SCREEN_FULL);
    EXPECT_EQ(console.isOpen, 0);
    EXPECT_EQ(console.screen, nullptr);
    ASSERT_EQ(console.open(320, 200, MODE_RGB16, SCREEN_FULL), 1);
    EXPECT_EQ(console.isOpen, 1);
    EXPECT_EQ(console.width(), 320);
    EXPECT_EQ(console.height(), 200);
    _vktFormat format = console.format();
    EXPECT_EQ(format.bits(), 16);
    EXPECT_EQ(format.id(), FORMAT_CUSTOM);
    EXPECT_TRUE(format == _vktFormat(FORMAT_RGB565));
}

TEST_F(ConsoleTest, ReadKeyDrainsTheQueueAndTheLastKeyWins) {
    _vktPTC console(320, 200, MODE_RGB32, SCREEN_FULL);
    ASSERT_EQ(console.isOpen, 1);
    console.readKey();
    EXPECT_EQ(console.readKey(), 0);
    pushKey(SDLK_a);
    pushKey(SDLK_RETURN);
    EXPECT_EQ(console.readKey(), 13);
    EXPECT_EQ(console.readKey(), 0);  // consumed
    pushKey(SDLK_SPACE);
    pushEvent(SDL_QUIT);
    EXPECT_EQ(console.readKey(), 27);
    pushEvent(SDL_QUIT);
    pushKey(SDLK_q);
    EXPECT_EQ(console.readKey(), 113);
    pushKey(SDLK_s, SDL_KEYUP);
    EXPECT_EQ(console.readKey(), 0);
}

TEST_F(ConsoleTest, ReadKeyReportsTheMouseOnlyWhenAsked) {
    _vktPTC console(320, 200, MODE_RGB32, SCREEN_FULL);
    ASSERT_EQ(console.isOpen, 1);
    console.readKey();
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 300;
    motion.motion.y = 7;
    motion.motion.xrel = -3;
    motion.motion.yrel = 2;
    motion.motion.state = SDL_BUTTON(3);
    SDL_PushEvent(&motion);
    _vktRect mouse{};
    int left = 0;
    int right = 0;
    EXPECT_EQ(console.readKey(&mouse, &left, &right), 0);
    EXPECT_EQ(mouse.x, 300);
    EXPECT_EQ(mouse.y, 7);
    EXPECT_EQ(mouse.w, -3);
    EXPECT_EQ(mouse.h, 2);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(right, 1);
    SDL_PushEvent(&motion);
    EXPECT_EQ(console.readKey(), 0);  // null outputs are skipped
}

TEST_F(ConsoleTest, KeyPressedDrainsMouseOnlyQueues) {
    _vktPTC console(320, 200, MODE_RGB32, SCREEN_FULL);
    ASSERT_EQ(console.isOpen, 1);
    console.keyPressed();
    pushEvent(SDL_MOUSEMOTION);
    pushEvent(SDL_MOUSEBUTTONDOWN);
    EXPECT_EQ(console.keyPressed(), 0);
    SDL_Event left;
    EXPECT_EQ(SDL_PollEvent(&left), 0);
    pushEvent(SDL_MOUSEMOTION);
    pushKey(SDLK_b);
    EXPECT_EQ(console.keyPressed(), 1);
    pushEvent(SDL_QUIT);
    EXPECT_EQ(console.keyPressed(), 1);
}

TEST_F(ConsoleTest, ClosedConsoleIsHarmless) {
    _vktPTC console;
    EXPECT_EQ(console.isOpen, 0);
    EXPECT_EQ(console.width(), 0);
    EXPECT_EQ(console.height(), 0);
    EXPECT_GT(console.desktopBits(), 0);  // needs no open console
    EXPECT_EQ(console.isHardware(), 0);
    EXPECT_EQ(console.isSoftware(), 0);
    EXPECT_EQ(console.videoMemory(), 0);
    EXPECT_EQ(console.videoCapabilities(), 0);
    EXPECT_EQ(console.surfaceFlags(), 0);
    _vktFormat format(FORMAT_RGB565);
    EXPECT_EQ(console.getFormat(format), 0);
    EXPECT_EQ(console.format().bits(), 0);
    EXPECT_EQ(console.format().id(), FORMAT_CUSTOM);
    EXPECT_EQ(console.getCaption(nullptr), 0);
    EXPECT_EQ(console.setIcon(nullptr), 0);
    console.update();
    console.update(_vktRect{0, 0, 10, 10});
    console.close();
    console.close();
}

TEST_F(ConsoleTest, OpenConsoleAnswersQueries) {
    _vktPTC console(320, 200, MODE_RGB32, SCREEN_FULL);
    ASSERT_EQ(console.isOpen, 1);
    EXPECT_EQ(console.isSoftware(), 1);  // sdl12-compat's screen is never a hardware surface
    EXPECT_EQ(console.isHardware(), 0);
    _vktFormat format;
    ASSERT_EQ(console.getFormat(format), 1);
    EXPECT_TRUE(format == _vktFormat(FORMAT_XRGB8888));
    ASSERT_EQ(console.setCaption("dovoz1", "icon"), 1);
    char title[32] = "";
    ASSERT_EQ(console.getCaption(title), 1);
    EXPECT_STREQ(title, "dovoz1");
    console.close();
    EXPECT_EQ(console.isOpen, 0);
    EXPECT_EQ(console.width(), 0);
}

TEST_F(ConsoleTest, UpdatedAreasReachSDLCutToItsSixteenBits) {
    _vktPTC console(320, 200, MODE_RGB32, SCREEN_FULL);
    ASSERT_EQ(console.isOpen, 1);
    updateRectCalls = 0;
    // A negative size is an empty area: nothing is presented (SDL would take a 0 for the whole screen).
    console.update(_vktRect{10, 10, -5, 20});
    console.update(_vktRect{10, 10, 20, -1});
    EXPECT_EQ(updateRectCalls, 0);
    // Every field is cut to SDL's 16 bits, as for any other rectangle.
    console.update(_vktRect{65536 + 10, -40000, 65536 + 70, 65536 + 4});
    ASSERT_EQ(updateRectCalls, 1);
    EXPECT_EQ(lastUpdateRect.x, 10);
    EXPECT_EQ(lastUpdateRect.y, 25536);
    EXPECT_EQ(lastUpdateRect.w, 70u);
    EXPECT_EQ(lastUpdateRect.h, 4u);
    console.close();
}

TEST_F(ConsoleTest, PaletteIsCopiedInAndOut) {
    _vktPTC console(32, 32, MODE_INDEX8, SCREEN_FULL);
    ASSERT_EQ(console.isOpen, 1);
    _vktPalette black;
    EXPECT_TRUE(console.palette() == black);
    _vktPalette grey;
    grey.makeGrey();
    EXPECT_EQ(console.setPalette(grey), 1);
    _vktPalette back;
    EXPECT_EQ(console.getPalette(back), 1);
    EXPECT_TRUE(back == grey);
    // The colours reached the 8-bit screen.
    ASSERT_NE(console.screen->format->palette, nullptr);
    EXPECT_EQ(console.screen->format->palette->colors[200].g, 200);
}

TEST(ExtensionListTest, OnlyWholeWordsCount) {
    EXPECT_EQ(extensionListHas("GL_ARB_foo_bar GL_ARB_foo", "GL_ARB_foo"), 1);
    EXPECT_EQ(extensionListHas("GL_ARB_foo_bar GL_EXT_x", "GL_ARB_foo"), 0);
    EXPECT_EQ(extensionListHas("XGL_ARB_foo GL_EXT_x", "GL_ARB_foo"), 0);
    EXPECT_EQ(extensionListHas("GL_EXT_x GL_ARB_foo", "GL_ARB_foo"), 1);
    EXPECT_EQ(extensionListHas("GL_ARB_foo", "GL_ARB_foo"), 1);
    EXPECT_EQ(extensionListHas("GL_EXT_x", ""), 0);
    EXPECT_EQ(extensionListHas("GL_A GL_B", "GL_A GL_B"), 0);
    EXPECT_EQ(extensionListHas(nullptr, "GL_A"), 0);
    // After a miss the search restarts where the miss ended, and a hit starting exactly there counts.
    EXPECT_EQ(extensionListHas("GL_AGL_A x", "GL_A"), 1);
    EXPECT_EQ(extensionListHas("xGL_AGL_A", "GL_A"), 1);
}

TEST(DriverListTest, OnlyWholeNamesCountInAnyCase) {
    EXPECT_EQ(driverListNames("x11,wayland,Offscreen", "offscreen"), 1);
    EXPECT_EQ(driverListNames("dummy,x11", "dummy"), 1);
    EXPECT_EQ(driverListNames("dummyx,xdummy,dumm,", "dummy"), 0);
    EXPECT_EQ(driverListNames(nullptr, "dummy"), 0);
}

TEST(ExtensionProbeTest, NoContextMeansNoExtension) {
    _vktPTC console;
    EXPECT_EQ(console.hasGLExtension(nullptr), 0);
    EXPECT_EQ(console.hasGLExtension(""), 0);
    EXPECT_EQ(console.hasGLExtension("GL_ARB_multitexture GL_x"), 0);
    // Without a current OpenGL context the driver lists nothing.
    EXPECT_EQ(console.hasGLExtension("GL_ARB_multitexture"), 0);
}

}  // namespace

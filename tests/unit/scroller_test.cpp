// Tests of the typewriter text: the text itself, the tables, and typing, hold, blink and page change
// drawn onto real surfaces from a font sheet whose every glyph cell has a colour of its own.
#include "scroller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "sdl_fixture.h"
#include "sdlptc_surface.h"

namespace {

constexpr uint32_t SHEET_BACKGROUND = 0x003C3C;  // RGB(0, 60, 60)

// The colour of the glyph in sheet cell (column, row); never the background or the text surface's key.
uint32_t cellColour(int column, int row) {
    return (static_cast<uint32_t>(10 + 9 * column) << 16) | ((40u + 50u * row) << 8) | 200u;
}

std::string line(int page, int row) {
    return std::string(scrollText.data() + 160 * page + 20 * row, 20);
}

class ScrollerTest : public SdlTest {
protected:
    void SetUp() override {
        SdlTest::SetUp();
        const _vktFormat work(FORMAT_XRGB8888);
        ASSERT_TRUE(fontSheet.create(234, 34, work, SURFACE_SOFTWARE, 0));
        fontSheet.fill(SHEET_BACKGROUND);
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 26; ++column) {
                fontSheet.fillRect(_vktRect{9 * column, 9 * row, 8, 8}, cellColour(column, row));
            }
        }
        fontSheet.setColorKey(fontSheet.mapRGB(0, 60, 60), 0);
        ASSERT_TRUE(textSurface.create(180, 72, work, SURFACE_SOFTWARE, 0));
        textSurface.fill(SCROLL_CLEAR);
        textSurface.setColorKey(SCROLL_CLEAR, 0);
        scroller.init();
    }
    void TearDown() override {
        fontSheet.free();
        textSurface.free();
        SdlTest::TearDown();
    }

    // Runs calls and collects their results.
    std::vector<int> call(int count) {
        std::vector<int> results;
        for (int i = 0; i < count; ++i) results.push_back(scroller.update(textSurface, fontSheet));
        return results;
    }

    uint32_t textPixel(int x, int y) const { return readPixel(textSurface.surface, x, y); }

    bool cellIsClear(int column, int row) const {
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x)
                if (textPixel(9 * column + x, 9 * row + y) != SCROLL_CLEAR) return false;
        return true;
    }
    bool surfaceIsClear() const {
        for (int row = 0; row < 8; ++row)
            for (int column = 0; column < 20; ++column)
                if (!cellIsClear(column, row)) return false;
        return true;
    }

    // Checks that text cell (column, row) holds the glyph of character code; glyphs of the fourth sheet
    // row are clipped to 7 rows by the sheet's bottom edge.
    void expectGlyph(int column, int row, unsigned char code) const {
        const GlyphCell cell = scroller.glyphMap[code];
        const uint32_t colour = cellColour(cell.x / 9, cell.y / 9);
        const int height = cell.y == 27 ? 7 : 8;
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 9; ++x) {
                const uint32_t expected = (x < 8 && y < height) ? colour : SCROLL_CLEAR;
                ASSERT_EQ(textPixel(9 * column + x, 9 * row + y), expected)
                    << "cell " << column << "," << row << " pixel " << x << "," << y << " code " << int{code};
            }
        }
    }

    _vktSurface fontSheet;
    _vktSurface textSurface;
    Scroller scroller;
};

TEST_F(ScrollerTest, TextIsFourPagesOfTwentyCharacterLinesWithGlyphs) {
    Scroller tables;
    tables.init();
    for (int i = 0; i < SCROLL_TEXT_SIZE; ++i) {
        const unsigned char c = static_cast<unsigned char>(scrollText[i]);
        const bool hasGlyph = c == ' ' || c == 'A' || tables.glyphMap[c].x != 0 || tables.glyphMap[c].y != 0;
        ASSERT_TRUE(hasGlyph && c >= 32 && c < 127)
            << "page " << i / 160 << " line " << i % 160 / 20 << " column " << i % 20 << ": code " << int{c};
    }
    const std::string blank(20, ' ');
    for (int row : {0, 2, 4, 6}) EXPECT_EQ(line(0, row), blank) << "title page line " << row;
    EXPECT_NE(line(0, 1).find("KVL"), std::string::npos);
    EXPECT_LT(line(0, 1).find("KVL"), line(0, 1).find("presents:"));
    const std::string title = line(0, 5);
    EXPECT_EQ(std::count(title.begin(), title.end(), '"'), 2);

    EXPECT_EQ(line(1, 0), blank);
    EXPECT_EQ(line(1, 3), " pure fun in making ");
    EXPECT_EQ(line(1, 4), blank);
    EXPECT_EQ(line(1, 5), "such small, informal");
    EXPECT_EQ(line(1, 7), "     releases.      ");

    for (int row : {1, 5, 7}) EXPECT_EQ(line(2, row), blank) << "help page line " << row;
    EXPECT_EQ(line(2, 2), "q, ESC, enter...quit");
    EXPECT_EQ(line(2, 3), "space....change mode");
    EXPECT_EQ(line(2, 4), "s.........screenshot");
    EXPECT_EQ(line(2, 6), "Find hidden part:)))");

    for (int row : {4, 6}) EXPECT_EQ(line(3, row), blank) << "credits line " << row;
    for (int row : {1, 2, 3})
        EXPECT_NE(line(3, row).find("KVL"), std::string::npos) << "credits line " << row;
}

TEST_F(ScrollerTest, GlyphMapFollowsTheSheetLayout) {
    EXPECT_EQ(scroller.glyphMap['A'].x, 0);
    EXPECT_EQ(scroller.glyphMap['Z'].x, 225);
    EXPECT_EQ(scroller.glyphMap['Z'].y, 0);
    EXPECT_EQ(scroller.glyphMap['a'].x, 0);
    EXPECT_EQ(scroller.glyphMap['z'].y, 9);
    EXPECT_EQ(scroller.glyphMap['1'].x, 0);
    EXPECT_EQ(scroller.glyphMap['9'].x, 72);
    EXPECT_EQ(scroller.glyphMap['9'].y, 18);
    const char* third = "0:;?!.,'/\\()[]-=+";
    for (int i = 0; third[i]; ++i) {
        EXPECT_EQ(scroller.glyphMap[static_cast<unsigned char>(third[i])].x, 81 + 9 * i) << third[i];
        EXPECT_EQ(scroller.glyphMap[static_cast<unsigned char>(third[i])].y, 18) << third[i];
    }
    const char* fourth = "\"_@$%^& ";
    for (int i = 0; fourth[i]; ++i) {
        EXPECT_EQ(scroller.glyphMap[static_cast<unsigned char>(fourth[i])].x, 9 * i) << fourth[i];
        EXPECT_EQ(scroller.glyphMap[static_cast<unsigned char>(fourth[i])].y, 27) << fourth[i];
    }
    for (int code :
         std::initializer_list<int>{0, 10, '#', '*', '<', '>', '{', '}', '~', '`', '|', 127, 200, 255}) {
        EXPECT_EQ(scroller.glyphMap[code].x, 0) << code;
        EXPECT_EQ(scroller.glyphMap[code].y, 0) << code;
    }
    for (char c : scroller.pageBuffer) ASSERT_EQ(c, ' ');
}

TEST_F(ScrollerTest, TypesOneCharacterEveryThirdCall) {
    EXPECT_EQ(call(1), std::vector<int>{1});
    EXPECT_EQ(scroller.typedCount, 0);
    EXPECT_TRUE(surfaceIsClear());
    call(1);
    EXPECT_EQ(scroller.typedCount, 0);
    call(1);
    EXPECT_EQ(scroller.typedCount, 1);
    EXPECT_EQ(scroller.pageBuffer[0], scrollText[0]);
    EXPECT_EQ(scroller.pageBuffer[1], ' ');

    // The first visible character of the title page shows up on the 3k-th call, not before.
    int first = 0;
    while (scrollText[first] == ' ') ++first;
    call(3 * (first + 1) - 1 - 3);
    EXPECT_TRUE(cellIsClear(first % 20, first / 20));
    call(1);
    expectGlyph(first % 20, first / 20, static_cast<unsigned char>(scrollText[first]));
}

TEST_F(ScrollerTest, FinishedPageHoldsBlinksAndIsWipedForTheNext) {
    const std::vector<int> typing = call(480);
    EXPECT_EQ(typing, std::vector<int>(480, 1));
    EXPECT_EQ(scroller.typedCount, 160);
    EXPECT_EQ(std::memcmp(scroller.pageBuffer, scrollText.data(), 160), 0);
    for (int i = 0; i < 160; ++i) {
        const unsigned char c = static_cast<unsigned char>(scrollText[i]);
        if (c == ' ') {
            ASSERT_TRUE(cellIsClear(i % 20, i / 20)) << i;
        } else {
            expectGlyph(i % 20, i / 20, c);
        }
    }
    EXPECT_EQ(call(2), (std::vector<int>{1, 1}));

    // Hold: nothing is drawn, so a wiped surface stays wiped, and the results follow the blink table.
    textSurface.fill(SCROLL_CLEAR);
    const std::vector<int> hold = call(119);
    std::vector<int> expected;
    for (auto [visible, calls] : {std::pair{1, 39},
                                  {0, 10},
                                  {1, 10},
                                  {0, 10},
                                  {1, 10},
                                  {0, 5},
                                  {1, 5},
                                  {0, 5},
                                  {1, 5},
                                  {0, 5},
                                  {1, 5},
                                  {0, 5},
                                  {1, 5}}) {
        expected.insert(expected.end(), calls, visible);
    }
    EXPECT_EQ(hold, expected);
    for (int i = 1; i < 120; ++i) EXPECT_EQ(hold[i - 1], scroller.blinkTable[i]) << i;
    EXPECT_TRUE(surfaceIsClear());
    EXPECT_EQ(scroller.pageIndex, 0);

    // The page change: result 1, the next page, and a surface wiped to transparent.
    fontSheet.blitRect(textSurface, _vktRect{0, 0, 8, 8}, _vktRect{50, 50, 0, 0});
    EXPECT_EQ(call(1), std::vector<int>{1});
    EXPECT_EQ(scroller.pageIndex, 1);
    EXPECT_EQ(scroller.typedCount, 0);
    EXPECT_EQ(scroller.holdCounter, 120);
    EXPECT_TRUE(surfaceIsClear());
    for (char c : scroller.pageBuffer) ASSERT_EQ(c, ' ');
    call(3);
    EXPECT_EQ(scroller.pageBuffer[0], scrollText[160]);
}

TEST_F(ScrollerTest, PagesRepeatAfterTheFourth) {
    const int cycle = 480 + 2 + 120;  // 602 calls a page
    call(cycle);
    EXPECT_EQ(scroller.pageIndex, 1);
    call(2 * cycle);
    EXPECT_EQ(scroller.pageIndex, 3);
    call(cycle - 1);
    EXPECT_EQ(scroller.pageIndex, 3);
    call(1);
    EXPECT_EQ(scroller.pageIndex, 0);
    call(480);
    EXPECT_EQ(std::memcmp(scroller.pageBuffer, scrollText.data(), 160), 0);
}

TEST_F(ScrollerTest, CodesWithoutGlyphDrawTheAGlyphAndSpacesNothing) {
    // Typed text straight in the buffer; a long delay keeps the calls drawing.
    scroller.typeDelay = 1000;
    scroller.pageBuffer[0] = '#';
    scroller.pageBuffer[1] = static_cast<char>(200);
    scroller.pageBuffer[2] = '~';
    scroller.pageBuffer[3] = '"';
    scroller.pageBuffer[21] = 'A';
    EXPECT_EQ(call(1), std::vector<int>{1});
    for (int column : {0, 1, 2}) expectGlyph(column, 0, 'A');
    expectGlyph(3, 0, '"');  // fourth sheet row: 7 pixels tall
    expectGlyph(1, 1, 'A');
    // The space's sheet cell has a colour here, yet a space is never drawn.
    for (int column = 4; column < 20; ++column) EXPECT_TRUE(cellIsClear(column, 0)) << column;
    EXPECT_TRUE(cellIsClear(0, 1));
}

TEST_F(ScrollerTest, AllSpacePageTypesWithoutDrawing) {
    Scroller blank;
    blank.init();
    blank.typeDelay = 1;
    // Page 0's first line is all spaces: 60 calls type it and draw nothing.
    for (int i = 0; i < 60; ++i) ASSERT_TRUE(blank.update(textSurface, fontSheet));
    EXPECT_EQ(blank.typedCount, 20);
    EXPECT_TRUE(surfaceIsClear());
}

}  // namespace

// scroller.cpp: the typewriter text.
#include "scroller.h"

#include <cstddef>
#include <cstring>

#include "sdlptc_surface.h"

namespace {

// The characters of a literal without its terminator; a literal of another length does not compile.
template <size_t N>
constexpr ScrollText withoutTerminator(const char (&text)[N]) {
    static_assert(N == SCROLL_TEXT_SIZE + 1, "the scroll text is 4 pages of 8 lines of 20 characters");
    ScrollText block{};
    for (size_t i = 0; i < SCROLL_TEXT_SIZE; ++i) block[i] = text[i];
    return block;
}

}  // namespace

// Every line is 20 characters, padded with spaces, made only of characters that have glyphs.
const ScrollText scrollText = withoutTerminator(
    // Title page.
    "                    "
    "   KVL presents:    "
    "                    "
    "   intro number 1   "
    "                    "
    "      \"dovoz1\"      "
    "                    "
    "    version 1.0     "
    // About the group.
    "                    "
    " KVL is a bunch of  "
    "  coders who find   "
    " pure fun in making "
    "                    "
    "such small, informal"
    "    audio visual    "
    "     releases.      "
    // Help.
    "     help keys:     "
    "                    "
    "q, ESC, enter...quit"
    "space....change mode"
    "s.........screenshot"
    "                    "
    "Find hidden part:)))"
    "                    "
    // Credits.
    "      credits:      "
    "code.............KVL"
    "graphics.........KVL"
    "music............KVL"
    "                    "
    "thanks for watching!"
    "                    "
    "    (c) 2026 KVL    ");

namespace {

// Glyphs of the third and fourth sheet rows that are not letters or 1..9, in cell order.
constexpr char THIRD_ROW_SIGNS[] = "0:;?!.,'/\\()[]-=+";
constexpr char FOURTH_ROW_SIGNS[] = "\"_@$%^& ";

// Runs of the blink table as (first index, value); each run lasts until the next one starts.
struct BlinkRun {
    int first;
    uint8_t visible;
};
constexpr BlinkRun BLINK_RUNS[] = {{0, 1},  {40, 0}, {50, 1},  {60, 0},  {70, 1},  {80, 0}, {85, 1},
                                   {90, 0}, {95, 1}, {100, 0}, {105, 1}, {110, 0}, {115, 1}};

constexpr int rowY(int sheetRow) {
    return SCROLL_CELL * sheetRow;
}

}  // namespace

void Scroller::init() {
    std::memset(pageBuffer, ' ', sizeof pageBuffer);

    constexpr int runCount = sizeof BLINK_RUNS / sizeof BLINK_RUNS[0];
    for (int run = 0; run < runCount; ++run) {
        const int end = run + 1 < runCount ? BLINK_RUNS[run + 1].first : SCROLL_HOLD;
        for (int i = BLINK_RUNS[run].first; i < end; ++i) blinkTable[i] = BLINK_RUNS[run].visible;
    }

    for (int c = 'A'; c <= 'Z'; ++c) glyphMap[c] = {SCROLL_CELL * (c - 'A'), rowY(0)};
    for (int c = 'a'; c <= 'z'; ++c) glyphMap[c] = {SCROLL_CELL * (c - 'a'), rowY(1)};
    for (int c = '1'; c <= '9'; ++c) glyphMap[c] = {SCROLL_CELL * (c - '1'), rowY(2)};
    for (int i = 0; THIRD_ROW_SIGNS[i]; ++i) {
        glyphMap[static_cast<unsigned char>(THIRD_ROW_SIGNS[i])] = {SCROLL_CELL * (9 + i), rowY(2)};
    }
    for (int i = 0; FOURTH_ROW_SIGNS[i]; ++i) {
        glyphMap[static_cast<unsigned char>(FOURTH_ROW_SIGNS[i])] = {SCROLL_CELL * i, rowY(3)};
    }
}

bool Scroller::update(_vktSurface& textSurface, const _vktSurface& fontSheet) {
    if (typeDelay != 0) --typeDelay;
    if (typeDelay == 0) {
        ++typedCount;
        if (typedCount > SCROLL_PAGE_SIZE) {
            // The page is complete: the surface keeps it while the hold blinks it.
            --holdCounter;
            if (holdCounter != 0) return blinkTable[SCROLL_HOLD - holdCounter] != 0;
            holdCounter = SCROLL_HOLD;
            pageIndex = (pageIndex + 1) % SCROLL_PAGES;
            typedCount = 0;
            std::memset(pageBuffer, ' ', sizeof pageBuffer);
            textSurface.fill(SCROLL_CLEAR);  // result ignored: a failed wipe leaves old glyphs
        }
        std::memcpy(pageBuffer, scrollText.data() + SCROLL_PAGE_SIZE * pageIndex, typedCount);
        typeDelay = SCROLL_TYPE_DELAY;
    }
    draw(textSurface, fontSheet);
    return true;
}

void Scroller::draw(_vktSurface& textSurface, const _vktSurface& fontSheet) const {
    // Every typed glyph is blitted again each frame onto the same place, which changes nothing already
    // there; results are ignored, so a failed blit only leaves that glyph out for the frame.
    for (int row = 0; row < SCROLL_ROWS; ++row) {
        for (int column = 0; column < SCROLL_COLUMNS; ++column) {
            const unsigned char code = static_cast<unsigned char>(pageBuffer[SCROLL_COLUMNS * row + column]);
            if (code == ' ') continue;
            const _vktRect glyph{glyphMap[code].x, glyphMap[code].y, SCROLL_GLYPH, SCROLL_GLYPH};
            const _vktRect place{SCROLL_CELL * column, SCROLL_CELL * row, 0, 0};
            fontSheet.blitRect(textSurface, glyph, place);
        }
    }
}

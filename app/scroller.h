// scroller.h: the typewriter text: four pages typed into the text surface, held, blinked and wiped.
#pragma once
#include <array>
#include <cstdint>

class _vktSurface;

inline constexpr int SCROLL_COLUMNS = 20;  // characters per line
inline constexpr int SCROLL_ROWS = 8;      // lines per page
inline constexpr int SCROLL_PAGE_SIZE = SCROLL_COLUMNS * SCROLL_ROWS;
inline constexpr int SCROLL_PAGES = 4;
inline constexpr int SCROLL_CELL = 9;        // pixels per cell on the text surface and the font sheet
inline constexpr int SCROLL_GLYPH = 8;       // glyph pixels at a cell's top left; the rest is background
inline constexpr int SCROLL_TYPE_DELAY = 3;  // calls per revealed character
inline constexpr int SCROLL_HOLD = 120;      // calls from a page's first hold call to its page change
inline constexpr uint32_t SCROLL_CLEAR = 0xFF00FF;  // the text surface's colour key: transparent

inline constexpr int SCROLL_TEXT_SIZE = SCROLL_PAGES * SCROLL_PAGE_SIZE;

// All pages: 640 characters, no terminator, page p at 160 × p, line l at 20 × l within it.
using ScrollText = std::array<char, SCROLL_TEXT_SIZE>;
extern const ScrollText scrollText;

// Top-left pixel of a character's 8×8 glyph on the font sheet.
struct GlyphCell {
    int32_t x;
    int32_t y;
};

// The scroller's tables and counters, with their start values; the frame loop holds the intro's.
class Scroller {
public:
    // Clears pageBuffer and fills blinkTable and glyphMap.
    void init();
    // One frame: types, holds or changes the page, and draws the typed glyphs from fontSheet onto
    // textSurface. True when textSurface is to be shown this frame.
    bool update(_vktSurface& textSurface, const _vktSurface& fontSheet);

    char pageBuffer[SCROLL_PAGE_SIZE] = {};  // the page as typed so far, row-major; spaces elsewhere
    GlyphCell glyphMap[256] = {};            // by character code as an unsigned byte; {0, 0} is the A
    uint8_t blinkTable[SCROLL_HOLD] = {};    // 1: text shown during the hold; index 0 is never read
    int32_t typeDelay = SCROLL_TYPE_DELAY;   // calls until the next character
    int32_t typedCount = 0;                  // characters of the page revealed; beyond 160 in the hold
    int32_t holdCounter = SCROLL_HOLD;       // hold calls left
    int32_t pageIndex = 0;                   // 0..3

private:
    void draw(_vktSurface& textSurface, const _vktSurface& fontSheet) const;
};

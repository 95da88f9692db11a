// GBK as the terminal needs it: the UTF-8 form and the column width of every
// GBK character, and the way back from a Unicode code point to GBK bytes for
// typed text. Tables are built once, on first use, with glibc's iconv and
// wcwidth under C.UTF-8; lookups afterwards are plain array reads.
//
//   const GbkGlyph& g = gbkPair(0xB9, 0xD8);   // 关: "\xE5\x85\xB3", width 2
//   std::uint8_t out[2]; int n = unicodeToGbk(0x5173, out);  // 2: B9 D8
#pragma once
#include <cstdint>

struct GbkGlyph {
    char utf8[4] = {};       // UTF-8 bytes of the character
    std::uint8_t length = 0; // 0: not a valid GBK character
    std::uint8_t width = 0;  // terminal columns (wcwidth): 1 or 2 when valid
};

// The double-byte character lead/trail (lead 0x81-0xFE, trail 0x40-0xFE).
const GbkGlyph& gbkPair(std::uint8_t lead, std::uint8_t trail);
// A single byte drawn alone: ASCII, 0x80 (the euro sign); length 0 otherwise.
const GbkGlyph& gbkSingle(std::uint8_t byte);
// GBK bytes of a code point: 1 or 2 bytes written to out, 0 when GBK lacks it.
int unicodeToGbk(std::uint32_t codePoint, std::uint8_t out[2]);
// Builds the tables now (they are otherwise built on first use).
void prepareGbkTables();

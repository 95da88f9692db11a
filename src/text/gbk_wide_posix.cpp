#include "text/gbk_wide.h"

#include "text/gbk_text.h"

namespace {

char16_t fromUtf8(const GbkGlyph& g) {
    if (g.length == 0) return 0;
    const auto* b = reinterpret_cast<const std::uint8_t*>(g.utf8);
    std::uint32_t code = 0;
    if (g.length == 1) code = b[0];
    else if (g.length == 2) code = ((b[0] & 0x1Fu) << 6) | (b[1] & 0x3Fu);
    else if (g.length == 3) code = ((b[0] & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
    return code <= 0xFFFF ? static_cast<char16_t>(code) : 0;
}

} // namespace

char16_t wideFromGbkPair(std::uint8_t lead, std::uint8_t trail) { return fromUtf8(gbkPair(lead, trail)); }

char16_t wideFromGbkByte(std::uint8_t byte) { return fromUtf8(gbkSingle(byte)); }

int gbkFromWide(char16_t character, std::uint8_t out[2]) {
    if (character >= 0xD800 && character <= 0xDFFF) return 0; // half of a pair: GBK has nothing beyond U+FFFF
    return unicodeToGbk(character, out);
}

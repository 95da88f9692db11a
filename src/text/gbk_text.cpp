#include "text/gbk_text.h"

#include <iconv.h>
#include <locale.h>

#include <algorithm>
#include <cwchar>
#include <vector>

namespace {

constexpr int trailCount = 0xFE - 0x40 + 1;
constexpr int leadCount = 0xFE - 0x81 + 1;

struct ReverseEntry {
    std::uint32_t codePoint;
    std::uint8_t bytes[2];
    std::uint8_t length;
};

struct Tables {
    std::vector<GbkGlyph> pairs = std::vector<GbkGlyph>(static_cast<std::size_t>(leadCount) * trailCount);
    GbkGlyph singles[256];
    std::vector<ReverseEntry> reverse; // sorted by code point
};

std::uint32_t decodeUtf8(const char* s, int n) {
    auto b = [&](int i) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[i])); };
    if (n == 1) return b(0);
    if (n == 2) return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    if (n == 3) return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
}

// Converts one GBK character; false when iconv rejects it.
bool convert(iconv_t cd, const char* gbk, std::size_t n, GbkGlyph& glyph) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(gbk);
    std::size_t inLeft = n;
    char buffer[8];
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return false;
    std::size_t length = sizeof buffer - outLeft;
    if (length == 0 || length > 4) return false;
    std::copy(buffer, buffer + length, glyph.utf8);
    glyph.length = static_cast<std::uint8_t>(length);
    return true;
}

Tables* build() {
    auto* t = new Tables;
    iconv_t cd = iconv_open("UTF-8", "GBK");
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    locale_t previous = utf8 ? uselocale(utf8) : static_cast<locale_t>(0);
    auto widthOf = [](const GbkGlyph& g) {
        int w = wcwidth(static_cast<wchar_t>(decodeUtf8(g.utf8, g.length)));
        return w;
    };
    for (int c = 0x20; c < 0x7F; ++c) {
        t->singles[c].utf8[0] = static_cast<char>(c);
        t->singles[c].length = 1;
        t->singles[c].width = 1;
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        const char euro = static_cast<char>(0x80);
        if (convert(cd, &euro, 1, t->singles[0x80]) && widthOf(t->singles[0x80]) != 1) t->singles[0x80] = GbkGlyph{};
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                const char code[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                GbkGlyph g;
                if (!convert(cd, code, 2, g)) continue;
                int w = widthOf(g);
                // Zero-width or unknown-width glyphs would shift the grid: keep them out.
                if (w != 1 && w != 2) continue;
                g.width = static_cast<std::uint8_t>(w);
                t->pairs[static_cast<std::size_t>(lead - 0x81) * trailCount + (trail - 0x40)] = g;
                t->reverse.push_back(ReverseEntry{decodeUtf8(g.utf8, g.length),
                                                  {static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)},
                                                  2});
            }
        }
        iconv_close(cd);
    }
    if (t->singles[0x80].length)
        t->reverse.push_back(ReverseEntry{decodeUtf8(t->singles[0x80].utf8, t->singles[0x80].length), {0x80, 0}, 1});
    if (utf8) {
        uselocale(previous);
        freelocale(utf8);
    }
    // Keep the first code of a character that GBK encodes twice: the entries
    // were pushed in byte order with the one single-byte entry last, and the
    // sort keeps that order among equal characters. (std::stable_sort's
    // temporary buffer trips AddressSanitizer's new/free check with g++ 12.)
    std::sort(t->reverse.begin(), t->reverse.end(), [](const ReverseEntry& a, const ReverseEntry& b) {
        if (a.codePoint != b.codePoint) return a.codePoint < b.codePoint;
        if (a.length != b.length) return a.length > b.length;
        return a.bytes[0] != b.bytes[0] ? a.bytes[0] < b.bytes[0] : a.bytes[1] < b.bytes[1];
    });
    return t;
}

const Tables& tables() {
    static const Tables* instance = build();
    return *instance;
}

} // namespace

const GbkGlyph& gbkPair(std::uint8_t lead, std::uint8_t trail) {
    static const GbkGlyph none{};
    if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE) return none;
    return tables().pairs[static_cast<std::size_t>(lead - 0x81) * trailCount + (trail - 0x40)];
}

const GbkGlyph& gbkSingle(std::uint8_t byte) { return tables().singles[byte]; }

int unicodeToGbk(std::uint32_t codePoint, std::uint8_t out[2]) {
    if (codePoint < 0x80) {
        out[0] = static_cast<std::uint8_t>(codePoint);
        return 1;
    }
    const auto& reverse = tables().reverse;
    auto it = std::lower_bound(reverse.begin(), reverse.end(), codePoint,
                               [](const ReverseEntry& e, std::uint32_t cp) { return e.codePoint < cp; });
    if (it == reverse.end() || it->codePoint != codePoint) return 0;
    out[0] = it->bytes[0];
    out[1] = it->bytes[1];
    return it->length;
}

void prepareGbkTables() { (void)tables(); }

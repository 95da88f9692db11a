#include "text/gbk_wide.h"

#include <windows.h>

// Code page 936 and the GBK of glibc (which turned the sources' literals into
// bytes, and which the Linux build reads with) differ in two symbols, and 936
// also maps the 2149 user-defined codes to the private use area, which glibc
// leaves unassigned. Follow glibc so both builds show and print the same text.
namespace {
struct Difference {
    std::uint8_t lead, trail;
    char16_t windows, glibc;
};
bool isPrivateUse(char16_t c) { return c >= 0xE000 && c <= 0xF8FF; }
constexpr Difference differences[] = {{0xA1, 0xA4, u'\u30FB', u'\u00B7'}, {0xA1, 0xAA, u'\u2015', u'\u2014'}};
} // namespace

char16_t wideFromGbkPair(std::uint8_t lead, std::uint8_t trail) {
    for (const Difference& d : differences)
        if (d.lead == lead && d.trail == trail) return d.glibc;
    const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    wchar_t wide[2] = {};
    if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes, 2, wide, 2) != 1) return 0;
    return isPrivateUse(static_cast<char16_t>(wide[0])) ? 0 : static_cast<char16_t>(wide[0]);
}

char16_t wideFromGbkByte(std::uint8_t byte) {
    if (byte < 0x80) return byte;
    return byte == 0x80 ? u'\u20AC' : 0;
}

int gbkFromWide(char16_t character, std::uint8_t out[2]) {
    if (character < 0x80) {
        out[0] = static_cast<std::uint8_t>(character);
        return 1;
    }
    if ((character >= 0xD800 && character <= 0xDFFF) || isPrivateUse(character)) return 0;
    for (const Difference& d : differences)
        if (d.glibc == character) {
            out[0] = d.lead;
            out[1] = d.trail;
            return 2;
        }
    const wchar_t wide = static_cast<wchar_t>(character);
    char bytes[4] = {};
    BOOL defaulted = FALSE;
    const int n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, nullptr, &defaulted);
    if (n < 1 || n > 2 || defaulted) return 0;
    out[0] = static_cast<std::uint8_t>(bytes[0]);
    if (n == 2) out[1] = static_cast<std::uint8_t>(bytes[1]);
    return n;
}

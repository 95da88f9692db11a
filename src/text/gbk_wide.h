// One GBK character to UTF-16 and back, for the Windows back end, which talks
// to the console in UTF-16 so that nothing depends on the console's code page.
// Windows converts with code page 936; elsewhere (tests) the GBK tables do.
#pragma once
#include <cstdint>

// The UTF-16 unit of the double-byte character lead/trail; 0 when GBK has none.
char16_t wideFromGbkPair(std::uint8_t lead, std::uint8_t trail);
// A byte shown alone: ASCII as itself, 0x80 as the euro sign, 0 otherwise.
char16_t wideFromGbkByte(std::uint8_t byte);
// The GBK bytes of a UTF-16 unit: 1 or 2 bytes written to out, 0 when GBK lacks it.
int gbkFromWide(char16_t character, std::uint8_t out[2]);

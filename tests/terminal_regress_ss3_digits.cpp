// Found by fuzzing the input decoder: ESC O followed by a long run of digits
// overflowed the modifier (signed int) before the key letter arrived.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "console/terminal_input.h"

TEST(TerminalInputRegression, LongSs3ModifierDigitsDecodeOneKeyAndGoOn) {
    TerminalInputDecoder decoder;
    InputQueue queue;
    const std::string bytes = "\x1bO" + std::string(40, '1') + "PA";
    decoder.feed(bytes.data(), bytes.size(), 0, queue);
    decoder.expire(1000, queue);
    ASSERT_EQ(queue.size(), 2u);
    EXPECT_EQ(queue[0].EventType, KEY_EVENT);
    EXPECT_EQ(queue[0].Event.KeyEvent.wVirtualKeyCode, VK_F1);
    EXPECT_EQ(queue[1].Event.KeyEvent.uChar.AsciiChar, 'A');
}

// The crashing input as the fuzzer found it, cut into reads as the fuzz target does.
TEST(TerminalInputRegression, FuzzInputWithDigitRunDecodes) {
    const unsigned char input[] = {
        0x1b, 0x4f, 0x50, 0x08, 0x1b, 0x03, 0x02, 0x03, 0x03, 0x03, 0x02, 0x77, 0x02, 0xfa, 0xf0, 0x01, 0x1b, 0x4f,
        0x05, 0x31, 0x00, 0x51, 0x1b, 0x78, 0x1b, 0x5b, 0x1b, 0x4f, 0x07, 0x31, 0x51, 0x1b, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x4d, 0x7e, 0x1b, 0x1b, 0x1b, 0x4f, 0x00, 0x1b, 0x1b, 0x4f, 0x7d, 0x00, 0x30, 0x51, 0x1b,
        0x78, 0x1b, 0x5b, 0xd5, 0x1b, 0x4f, 0x31, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30,
        0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0xe6, 0x00};
    TerminalInputDecoder decoder;
    InputQueue queue;
    std::uint64_t now = 0;
    for (std::size_t at = 0; at < sizeof input; at += 3, now += 2)
        decoder.feed(reinterpret_cast<const char*>(input) + at, std::min<std::size_t>(3, sizeof input - at), now, queue);
    decoder.expire(now + 1000, queue);
    EXPECT_EQ(decoder.millisecondsUntilExpiry(now + 1000), -1);
    for (std::size_t i = 0; i < queue.size(); ++i) EXPECT_TRUE(queue[i].EventType == KEY_EVENT || queue[i].EventType == MOUSE_EVENT);
}

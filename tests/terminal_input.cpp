// The input decoder over the byte sequences terminals send (xterm, tmux, rxvt,
// the Linux console), whole, split at every point and byte by byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"
#include "console/terminal_input.h"

namespace {

// K vk char control | M x,y buttons flags control
std::string describe(const INPUT_RECORD& r) {
    char text[64];
    if (r.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD& k = r.Event.KeyEvent;
        std::snprintf(text, sizeof text, "K %02X %02X %04X%s", k.wVirtualKeyCode,
                      static_cast<unsigned char>(k.uChar.AsciiChar), static_cast<unsigned>(k.dwControlKeyState),
                      k.bKeyDown == 1 && k.wRepeatCount == 1 ? "" : " (not a single key press)");
    } else if (r.EventType == MOUSE_EVENT) {
        const MOUSE_EVENT_RECORD& m = r.Event.MouseEvent;
        std::snprintf(text, sizeof text, "M %d,%d %08X %X %04X", m.dwMousePosition.X, m.dwMousePosition.Y,
                      static_cast<unsigned>(m.dwButtonState), static_cast<unsigned>(m.dwEventFlags),
                      static_cast<unsigned>(m.dwControlKeyState));
    } else {
        std::snprintf(text, sizeof text, "type %u", r.EventType);
    }
    return text;
}

std::vector<std::string> drain(InputQueue& queue) {
    std::vector<std::string> out;
    INPUT_RECORD r;
    while (queue.pop(r)) out.push_back(describe(r));
    return out;
}

// Feeds the bytes in pieces cut at the given points, 1 ms apart, then lets time pass.
std::vector<std::string> decode(const std::string& bytes, std::vector<std::size_t> cuts = {}) {
    TerminalInputDecoder decoder;
    InputQueue queue;
    std::size_t from = 0;
    std::uint64_t now = 1000;
    cuts.push_back(bytes.size());
    for (std::size_t cut : cuts) {
        decoder.feed(bytes.data() + from, cut - from, now++, queue);
        from = cut;
    }
    decoder.expire(now + TerminalInputDecoder::escapeTimeoutMs, queue);
    return drain(queue);
}

struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> records;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> table = {
        // Printable ASCII: the US-layout key and Shift.
        {"letter", "a", {"K 41 61 0000"}},
        {"capital", "A", {"K 41 41 0010"}},
        {"digits", "09", {"K 30 30 0000", "K 39 39 0000"}},
        {"space", " ", {"K 20 20 0000"}},
        {"shifted digits", "!@)", {"K 31 21 0010", "K 32 40 0010", "K 30 29 0010"}},
        {"punctuation",
         ";:,<-_.>/?`~[{\\|]}'\"=+",
         {"K BA 3B 0000", "K BA 3A 0010", "K BC 2C 0000", "K BC 3C 0010", "K BD 2D 0000", "K BD 5F 0010",
          "K BE 2E 0000", "K BE 3E 0010", "K BF 2F 0000", "K BF 3F 0010", "K C0 60 0000", "K C0 7E 0010",
          "K DB 5B 0000", "K DB 7B 0010", "K DC 5C 0000", "K DC 7C 0010", "K DD 5D 0000", "K DD 7D 0010",
          "K DE 27 0000", "K DE 22 0010", "K BB 3D 0000", "K BB 2B 0010"}},
        // Control keys.
        {"enter", "\r", {"K 0D 0D 0000"}},
        {"line feed as enter", "\n", {"K 0D 0D 0000"}},
        {"backspace 7F", "\x7f", {"K 08 08 0000"}},
        {"backspace ^H", "\x08", {"K 08 08 0000"}},
        {"tab", "\t", {"K 09 09 0000"}},
        {"shift tab", "\x1b[Z", {"K 09 09 0010"}},
        {"ctrl c is a key", "\x03", {"K 43 03 0008"}},
        {"ctrl v x z s q", "\x16\x18\x1a\x13\x11",
         {"K 56 16 0008", "K 58 18 0008", "K 5A 1A 0008", "K 53 13 0008", "K 51 11 0008"}},
        {"ctrl a", "\x01", {"K 41 01 0008"}},
        {"alt letter", "\x1bx", {"K 58 78 0002"}},
        // Arrows in normal and application mode, with modifiers.
        {"arrows", "\x1b[A\x1b[B\x1b[C\x1b[D", {"K 26 00 0100", "K 28 00 0100", "K 27 00 0100", "K 25 00 0100"}},
        {"application arrows", "\x1bOA\x1bOD", {"K 26 00 0100", "K 25 00 0100"}},
        {"shift arrows", "\x1b[1;2D\x1b[1;2A", {"K 25 00 0110", "K 26 00 0110"}},
        {"ctrl and alt arrows", "\x1b[1;5C\x1b[1;3B\x1b[1;6A", {"K 27 00 0108", "K 28 00 0102", "K 26 00 0118"}},
        // Home and End as xterm, tmux, rxvt and SS3 send them.
        {"home end xterm", "\x1b[H\x1b[F", {"K 24 00 0100", "K 23 00 0100"}},
        {"home end ss3", "\x1bOH\x1bOF", {"K 24 00 0100", "K 23 00 0100"}},
        {"home end tmux", "\x1b[1~\x1b[4~", {"K 24 00 0100", "K 23 00 0100"}},
        {"home end rxvt", "\x1b[7~\x1b[8~", {"K 24 00 0100", "K 23 00 0100"}},
        {"shift home", "\x1b[1;2H", {"K 24 00 0110"}},
        {"insert delete pages", "\x1b[2~\x1b[3~\x1b[5~\x1b[6~",
         {"K 2D 00 0100", "K 2E 00 0100", "K 21 00 0100", "K 22 00 0100"}},
        {"ctrl delete", "\x1b[3;5~", {"K 2E 00 0108"}},
        // Function keys.
        {"F1-F4 ss3", "\x1bOP\x1bOQ\x1bOR\x1bOS", {"K 70 00 0000", "K 71 00 0000", "K 72 00 0000", "K 73 00 0000"}},
        {"F1-F4 with shift", "\x1b[1;2P\x1b[1;2S", {"K 70 00 0010", "K 73 00 0010"}},
        {"F1-F5 linux console", "\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E",
         {"K 70 00 0000", "K 71 00 0000", "K 72 00 0000", "K 73 00 0000", "K 74 00 0000"}},
        {"F1-F4 rxvt", "\x1b[11~\x1b[14~", {"K 70 00 0000", "K 73 00 0000"}},
        {"F5-F12", "\x1b[15~\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~\x1b[23~\x1b[24~",
         {"K 74 00 0000", "K 75 00 0000", "K 76 00 0000", "K 77 00 0000", "K 78 00 0000", "K 79 00 0000",
          "K 7A 00 0000", "K 7B 00 0000"}},
        {"ctrl F5", "\x1b[15;5~", {"K 74 00 0008"}},
        {"escape then sequence", "\x1b\x1b[A", {"K 1B 1B 0000", "K 26 00 0100"}},
        // Replies and modes we never asked for are dropped, and what follows still arrives.
        {"ignored sequences", "\x1b[?1;2c\x1b[Ia", {"K 41 61 0000"}},
        // A bracketed paste: its keys marked as pasted text, the first as its beginning;
        // CR LF one Enter, a lone LF one too; control bytes and escapes inside are no keys.
        {"bracketed paste", "\x1b[200~ab\r\ncd\x1b[201~e",
         {"K 41 61 3000000", "K 42 62 1000000", "K 0D 0D 1000000", "K 43 63 1000000", "K 44 64 1000000", "K 45 65 0000"}},
        {"paste without shortcuts", "\x1b[200~\x01\tx\x1b[Ay\x1b[201~\x01",
         {"K 09 09 3000000", "K 58 78 1000000", "K DB 5B 1000000", "K 41 41 1000010", "K 59 79 1000000", "K 41 01 0008"}},
        {"pasted lines", "\x1b[200~a\n\nb\x1b[201~",
         {"K 41 61 3000000", "K 0D 0D 1000000", "K 0D 0D 1000000", "K 42 62 1000000"}},
        {"pasted chinese", "\x1b[200~\xe5\x85\xb3\x1b[201~", {"K 00 B9 3000000", "K 00 D8 1000000"}},
        {"two pastes", "\x1b[200~a\x1b[201~\x1b[200~b\x1b[201~", {"K 41 61 3000000", "K 42 62 3000000"}},
        {"empty paste", "\x1b[200~\x1b[201~c", {"K 43 63 0000"}},
        // UTF-8 becomes GBK, one record per byte.
        {"chinese", "\xe5\x85\xb3\xe5\x8d\xa1", {"K 00 B9 0000", "K 00 D8 0000", "K 00 BF 0000", "K 00 A8 0000"}},
        {"euro", "\xe2\x82\xac", {"K 00 80 0000"}},
        {"outside GBK", "\xf0\x9f\x98\x80x", {"K BF 3F 0010", "K 58 78 0000"}},
        {"truncated then ascii", "\xe5\x85" "A", {"K BF 3F 0010", "K 41 41 0010"}},
        {"truncated then chinese", "\xe5\xe5\x85\xb3", {"K BF 3F 0010", "K 00 B9 0000", "K 00 D8 0000"}},
        {"stray continuation", "\x80" "b", {"K BF 3F 0010", "K 42 62 0000"}},
        {"invalid leads", "\xc0\xff" "c", {"K BF 3F 0010", "K BF 3F 0010", "K 43 63 0000"}},
        {"surrogate", "\xed\xa0\x80" "d", {"K BF 3F 0010", "K 44 64 0000"}},
        {"overlong", "\xe0\x80\xaf" "e", {"K BF 3F 0010", "K 45 65 0000"}},
        // Mouse in SGR form: 1-based in, 0-based out, buttons tracked.
        {"left click", "\x1b[<0;10;5M\x1b[<0;10;5m", {"M 9,4 00000001 0 0000", "M 9,4 00000000 0 0000"}},
        {"right and middle", "\x1b[<2;1;1M\x1b[<1;1;1M\x1b[<2;1;1m\x1b[<1;1;1m",
         {"M 0,0 00000002 0 0000", "M 0,0 00000006 0 0000", "M 0,0 00000004 0 0000", "M 0,0 00000000 0 0000"}},
        {"drag", "\x1b[<0;1;1M\x1b[<32;2;1M\x1b[<32;3;2M\x1b[<0;3;2m",
         {"M 0,0 00000001 0 0000", "M 2,1 00000001 1 0000", "M 2,1 00000000 0 0000"}},
        {"motion without button", "\x1b[<35;7;8M", {"M 6,7 00000000 1 0000"}},
        {"wheel", "\x1b[<64;3;4M\x1b[<65;3;4M", {"M 2,3 00780000 4 0000", "M 2,3 FF880000 4 0000"}},
        {"modifiers on clicks", "\x1b[<4;1;1M\x1b[<16;1;1m\x1b[<8;2;2M",
         {"M 0,0 00000001 0 0010", "M 0,0 00000000 0 0008", "M 1,1 00000001 0 0002"}},
        {"large coordinates", "\x1b[<35;300;120M", {"M 299,119 00000000 1 0000"}},
        {"x10 mouse", "\x1b[M !!\x1b[M#!!", {"M 0,0 00000001 0 0000", "M 0,0 00000000 0 0000"}},
        // Coordinates are the byte minus 32, 1-based: x and y apart, beyond 95 (a byte
        // above 0x7F, as at the right of a 161-column screen), a drag and a wheel.
        {"x10 mouse away from the corner", "\x1b[M (%\x1b[M@)%\x1b[M#)%",
         {"M 7,4 00000001 0 0000", "M 8,4 00000001 1 0000", "M 8,4 00000000 0 0000"}},
        {"x10 mouse right edge", "\x1b[M\"\xc1\x41\x1b[M#\xc1\x41\x1b[M`\xc1\x22",
         {"M 160,32 00000002 0 0000", "M 160,32 00000000 0 0000", "M 160,1 00780000 4 0000"}},
        {"text between moves", "\x1b[<35;1;1Mq\x1b[<35;2;1M",
         {"M 0,0 00000000 1 0000", "K 51 71 0000", "M 1,0 00000000 1 0000"}},
    };
    return table;
}

TEST(TerminalInput, SequencesAsTerminalsSendThem) {
    for (const Case& c : cases()) EXPECT_EQ(decode(c.bytes), c.records) << c.name;
}

TEST(TerminalInput, EverySplitPointDecodesTheSame) {
    for (const Case& c : cases()) {
        for (std::size_t cut = 1; cut < c.bytes.size(); ++cut)
            EXPECT_EQ(decode(c.bytes, {cut}), c.records) << c.name << " cut at " << cut;
        std::vector<std::size_t> everyByte;
        for (std::size_t i = 1; i < c.bytes.size(); ++i) everyByte.push_back(i);
        EXPECT_EQ(decode(c.bytes, everyByte), c.records) << c.name << " byte by byte";
    }
}

TEST(TerminalInput, LoneEscapeWaitsForTheTimeout) {
    TerminalInputDecoder decoder;
    InputQueue queue;
    decoder.feed("\x1b", 1, 100, queue);
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(decoder.millisecondsUntilExpiry(100), 25);
    EXPECT_EQ(decoder.millisecondsUntilExpiry(110), 15);
    decoder.expire(124, queue);
    EXPECT_TRUE(queue.empty());
    decoder.expire(125, queue);
    EXPECT_EQ(drain(queue), std::vector<std::string>{"K 1B 1B 0000"});
    EXPECT_EQ(decoder.millisecondsUntilExpiry(125), -1);
}

TEST(TerminalInput, SequenceFinishedInTimeIsOneKey) {
    TerminalInputDecoder decoder;
    InputQueue queue;
    decoder.feed("\x1b", 1, 100, queue);
    decoder.feed("[1;2", 4, 110, queue);
    // The wait is counted from the Escape, not from the latest piece.
    EXPECT_EQ(decoder.millisecondsUntilExpiry(120), 5);
    decoder.feed("A", 1, 120, queue);
    EXPECT_EQ(drain(queue), std::vector<std::string>{"K 26 00 0110"});
}

TEST(TerminalInput, LateRestMakesEscapeAKeyAndTheRestText) {
    TerminalInputDecoder decoder;
    InputQueue queue;
    decoder.feed("\x1b", 1, 100, queue);
    decoder.feed("[A", 2, 130, queue);
    EXPECT_EQ(drain(queue), (std::vector<std::string>{"K 1B 1B 0000", "K DB 5B 0000", "K 41 41 0010"}));
    // An unfinished introducer alone is Alt plus its character.
    decoder.feed("\x1b[", 2, 200, queue);
    decoder.expire(300, queue);
    EXPECT_EQ(drain(queue), std::vector<std::string>{"K DB 5B 0002"});
    // An unfinished UTF-8 character is replaced once the wait is over.
    decoder.feed("\xe5\x85", 2, 400, queue);
    EXPECT_TRUE(queue.empty());
    decoder.expire(425, queue);
    EXPECT_EQ(drain(queue), std::vector<std::string>{"K BF 3F 0010"});
}

TEST(TerminalInput, RunawaySequenceIsDropped) {
    // A sequence that never ends must not hold everything after it.
    TerminalInputDecoder decoder;
    InputQueue queue;
    std::string noise = "\x1b[" + std::string(100, '1');
    decoder.feed(noise.data(), noise.size(), 0, queue);
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(decoder.millisecondsUntilExpiry(0), -1);
    decoder.feed("a", 1, 1, queue);
    EXPECT_EQ(drain(queue), std::vector<std::string>{"K 41 61 0000"});
}

TEST(TerminalInput, ButtonStateFollowsWhatMotionReports) {
    // A release outside the terminal is lost; the next motion without a button clears the state.
    EXPECT_EQ(decode("\x1b[<0;5;5M\x1b[<35;6;5M\x1b[<0;6;5M"),
              (std::vector<std::string>{"M 4,4 00000001 0 0000", "M 5,4 00000000 1 0000", "M 5,4 00000001 0 0000"}));
    // A press that was lost shows up in the drag that follows it.
    EXPECT_EQ(decode("\x1b[<34;5;5M\x1b[<2;5;5m"),
              (std::vector<std::string>{"M 4,4 00000002 1 0000", "M 4,4 00000000 0 0000"}));
    // A release without a press leaves nothing held.
    EXPECT_EQ(decode("\x1b[<0;1;1m"), std::vector<std::string>{"M 0,0 00000000 0 0000"});
}

TEST(TerminalInput, QueuedMovesMergeOnlyAtTheTail) {
    TerminalInputDecoder decoder;
    InputQueue queue;
    std::string flood;
    for (int i = 1; i <= 100; ++i) flood += "\x1b[<35;" + std::to_string(i) + ";3M";
    decoder.feed(flood.data(), flood.size(), 0, queue);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(describe(queue[0]), "M 99,2 00000000 1 0000");

    // A wheel or a press is never merged away, and moves after it queue behind it.
    std::string mixed = "\x1b[<64;1;1M\x1b[<35;2;2M\x1b[<35;3;3M\x1b[<0;3;3M\x1b[<32;4;4M\x1b[<32;5;5M";
    decoder.feed(mixed.data(), mixed.size(), 0, queue);
    EXPECT_EQ(drain(queue), (std::vector<std::string>{"M 99,2 00000000 1 0000", "M 0,0 00780000 4 0000",
                                                      "M 2,2 00000000 1 0000", "M 2,2 00000001 0 0000",
                                                      "M 4,4 00000001 1 0000"}));

    // A move that was already read is not touched: the next one queues anew.
    decoder.feed("\x1b[<35;1;1M", 10, 0, queue);
    INPUT_RECORD taken;
    ASSERT_TRUE(queue.pop(taken));
    decoder.feed("\x1b[<35;2;1M", 10, 0, queue);
    EXPECT_EQ(drain(queue), std::vector<std::string>{"M 1,0 00000000 1 0000"});
}

TEST(TerminalInput, TypedChineseRoundTripsThroughGbk) {
    const std::string text = "汇编闯关：第12关"; // GBK bytes (the literal is compiled to GBK)
    std::string typed = toUtf8(text);
    std::string received;
    InputQueue queue;
    TerminalInputDecoder decoder;
    decoder.feed(typed.data(), typed.size(), 0, queue);
    INPUT_RECORD r;
    while (queue.pop(r)) {
        ASSERT_EQ(r.EventType, KEY_EVENT);
        received += r.Event.KeyEvent.uChar.AsciiChar;
    }
    EXPECT_EQ(received, text);
}

} // namespace

namespace {
TEST(TerminalInput, UnreadSizeRecordsCollapseIntoTheLatest) {
    auto size = [](int w, int h) {
        INPUT_RECORD r;
        r.EventType = WINDOW_BUFFER_SIZE_EVENT;
        r.Event.WindowBufferSizeEvent = WINDOW_BUFFER_SIZE_RECORD{};
        r.Event.WindowBufferSizeEvent.dwSize = {static_cast<std::int16_t>(w), static_cast<std::int16_t>(h)};
        return r;
    };
    InputQueue queue;
    queue.push(size(100, 30));
    queue.push(makeKeyRecord('A', 'a', 0));
    queue.push(size(120, 40));
    queue.push(size(200, 50));
    ASSERT_EQ(queue.size(), 3u);
    EXPECT_EQ(queue[0].Event.WindowBufferSizeEvent.dwSize.X, 100);
    EXPECT_EQ(queue[2].Event.WindowBufferSizeEvent.dwSize.X, 200);
    EXPECT_EQ(queue[2].Event.WindowBufferSizeEvent.dwSize.Y, 50);
}
} // namespace

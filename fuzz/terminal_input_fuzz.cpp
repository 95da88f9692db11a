// Any byte stream from the terminal, cut into reads at points and times the
// first bytes choose, must decode into well-formed records; and reads that
// all arrive within the Escape timeout must decode exactly as one read would.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_host.h"
#include "console/terminal_input.h"

namespace {
constexpr std::uint32_t knownControlKeys =
    RIGHT_ALT_PRESSED | LEFT_ALT_PRESSED | RIGHT_CTRL_PRESSED | LEFT_CTRL_PRESSED | SHIFT_PRESSED | ENHANCED_KEY;
constexpr std::uint32_t knownButtons = FROM_LEFT_1ST_BUTTON_PRESSED | RIGHTMOST_BUTTON_PRESSED | FROM_LEFT_2ND_BUTTON_PRESSED;

void checkRecord(const INPUT_RECORD& r) {
    switch (r.EventType) {
    case KEY_EVENT: {
        const KEY_EVENT_RECORD& k = r.Event.KeyEvent;
        fuzzCheck(k.bKeyDown == 1 && k.wRepeatCount == 1, "key records are single presses");
        fuzzCheck((k.dwControlKeyState & ~knownControlKeys) == 0, "key control state has known bits only");
        fuzzCheck(k.wVirtualKeyCode != 0 || k.uChar.AsciiChar != 0, "a key record names a key or a character");
        break;
    }
    case MOUSE_EVENT: {
        const MOUSE_EVENT_RECORD& m = r.Event.MouseEvent;
        fuzzCheck(m.dwMousePosition.X >= 0 && m.dwMousePosition.Y >= 0, "mouse positions are not negative");
        fuzzCheck((m.dwControlKeyState & ~knownControlKeys) == 0, "mouse control state has known bits only");
        fuzzCheck(m.dwEventFlags == 0 || m.dwEventFlags == MOUSE_MOVED || m.dwEventFlags == MOUSE_WHEELED,
                  "mouse event flags are a press, a move or a wheel");
        const std::uint32_t low = m.dwButtonState & 0xFFFF, high = m.dwButtonState >> 16;
        fuzzCheck((low & ~knownButtons) == 0, "mouse buttons are the three known ones");
        fuzzCheck(m.dwEventFlags == MOUSE_WHEELED ? (high == 120 || high == 0xFF88) : high == 0,
                  "only a wheel record carries a wheel delta");
        break;
    }
    case WINDOW_BUFFER_SIZE_EVENT: break;
    default: fuzzCheck(false, "record type is key, mouse or size");
    }
}

bool sameRecord(const INPUT_RECORD& a, const INPUT_RECORD& b) {
    if (a.EventType != b.EventType) return false;
    if (a.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD &x = a.Event.KeyEvent, &y = b.Event.KeyEvent;
        return x.wVirtualKeyCode == y.wVirtualKeyCode && x.uChar.AsciiChar == y.uChar.AsciiChar &&
               x.dwControlKeyState == y.dwControlKeyState;
    }
    const MOUSE_EVENT_RECORD &x = a.Event.MouseEvent, &y = b.Event.MouseEvent;
    return x.dwMousePosition.X == y.dwMousePosition.X && x.dwMousePosition.Y == y.dwMousePosition.Y &&
           x.dwButtonState == y.dwButtonState && x.dwControlKeyState == y.dwControlKeyState &&
           x.dwEventFlags == y.dwEventFlags;
}

// A CSI sequence that runs past the decoder's limit is dropped up to the end
// of the read it was found in, so where the reads were cut shows in what
// follows it. Real terminals never send one; such streams are only checked
// for well-formed records.
bool hasRunawaySequence(const char* stream, std::size_t length) {
    constexpr std::size_t limit = 60;
    for (std::size_t i = 0; i + 1 < length; ++i) {
        if (stream[i] != '\x1b' || stream[i + 1] != '[') continue;
        std::size_t run = 0;
        for (std::size_t k = i + 2; k < length && stream[k] >= 0x20 && stream[k] <= 0x3F; ++k) ++run;
        if (run >= limit) return true;
    }
    return false;
}

void checkQueue(const InputQueue& queue) {
    for (std::size_t i = 0; i < queue.size(); ++i) {
        checkRecord(queue[i]);
        if (i > 0 && queue[i].EventType == MOUSE_EVENT && queue[i - 1].EventType == MOUSE_EVENT)
            fuzzCheck(!(queue[i].Event.MouseEvent.dwEventFlags == MOUSE_MOVED &&
                        queue[i - 1].Event.MouseEvent.dwEventFlags == MOUSE_MOVED),
                      "queued moves are merged");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in{data, size};
    struct Cut {
        std::size_t length;
        std::uint64_t delay;
    };
    std::vector<Cut> cuts(in.byte() % 16);
    for (Cut& cut : cuts) {
        cut.length = in.byte() % 32;
        const std::uint8_t wait = in.byte();
        cut.delay = wait < 0xC0 ? wait % 8 : wait; // mostly quick reads, sometimes a pause past the timeout
    }
    const char* stream = reinterpret_cast<const char*>(data + std::min(size, in.at));
    const std::size_t length = size - std::min(size, in.at);

    TerminalInputDecoder decoder;
    InputQueue queue;
    std::uint64_t now = 1000;
    std::size_t at = 0;
    bool withinTimeout = true;
    for (std::size_t i = 0; at < length; ++i) {
        const std::size_t take = i < cuts.size() ? std::min(cuts[i].length, length - at) : length - at;
        const std::uint64_t delay = i < cuts.size() ? cuts[i].delay : 0;
        now += delay;
        if (now - 1000 >= TerminalInputDecoder::escapeTimeoutMs) withinTimeout = false;
        // The owner's poll: expire when the decoder said its time had come.
        const int wait = decoder.millisecondsUntilExpiry(now);
        fuzzCheck(wait >= -1 && wait <= static_cast<int>(TerminalInputDecoder::escapeTimeoutMs), "expiry wait in range");
        if (wait == 0) decoder.expire(now, queue);
        decoder.feed(stream + at, take, now, queue);
        at += take;
        checkQueue(queue);
    }
    now += TerminalInputDecoder::escapeTimeoutMs;
    decoder.expire(now, queue);
    fuzzCheck(decoder.millisecondsUntilExpiry(now) == -1, "nothing is left pending after the timeout");
    checkQueue(queue);

    if (withinTimeout && length > 0 && !hasRunawaySequence(stream, length)) {
        TerminalInputDecoder whole;
        InputQueue once;
        whole.feed(stream, length, 1000, once);
        whole.expire(1000 + TerminalInputDecoder::escapeTimeoutMs, once);
        fuzzCheck(once.size() == queue.size(), "reads within the timeout decode as one read (count)");
        for (std::size_t i = 0; i < once.size(); ++i)
            fuzzCheck(sameRecord(once[i], queue[i]), "reads within the timeout decode as one read");
        fuzzCheck(whole.heldButtons() == decoder.heldButtons(), "held buttons do not depend on the cuts");
    }

    // Records leave in order, one at a time.
    INPUT_RECORD record;
    std::size_t popped = 0;
    const std::size_t queued = queue.size();
    while (queue.pop(record)) ++popped;
    fuzzCheck(popped == queued && queue.empty(), "every queued record pops once");
    return 0;
}

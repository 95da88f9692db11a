// Terminal input bytes to console input records. The decoder is pure: it is
// fed the bytes of each read with the time they arrived (milliseconds, any
// monotonic origin) and appends key and mouse records to an InputQueue. A lone
// Escape is only known to be a key once escapeTimeoutMs have passed without
// the rest of a sequence, so the owner calls expire() when that time comes.
//
//   TerminalInputDecoder decoder;
//   InputQueue queue;
//   decoder.feed(bytes, n, nowMs, queue);
//   decoder.expire(nowMs, queue);            // when nothing more arrived
//   int wait = decoder.millisecondsUntilExpiry(nowMs);   // -1: nothing pending
//
// A bracketed paste (ESC [ 200 ~ text ESC [ 201 ~, mode 2004) arrives as key
// records of its text marked PASTED_TEXT, the first also PASTE_BEGIN; its
// line breaks (CR, LF or CR LF) are one Enter each, other control bytes and
// escape sequences inside it are dropped.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "console/platform.h"

// Records in arrival order. A mouse move pushed while the last queued record
// is an unread move replaces it, as the console does, so a flood of motion
// never builds up behind a reader that takes one record per frame; a size
// record likewise replaces an unread size record at the tail.
class InputQueue {
public:
    void push(const INPUT_RECORD& record);
    bool pop(INPUT_RECORD& record);
    std::size_t size() const { return records.size(); }
    bool empty() const { return records.empty(); }
    const INPUT_RECORD& operator[](std::size_t i) const { return records[i]; }
    void clear() { records.clear(); }
    // Adds control-state bits to the key record at i.
    void markKey(std::size_t i, std::uint32_t controlBits);

private:
    std::deque<INPUT_RECORD> records;
};

class TerminalInputDecoder {
public:
    static constexpr std::uint64_t escapeTimeoutMs = 25;

    void feed(const char* bytes, std::size_t length, std::uint64_t nowMs, InputQueue& out);
    // Gives up waiting for the rest of a sequence once the timeout has passed.
    void expire(std::uint64_t nowMs, InputQueue& out);
    // Time left before expire() has something to do; -1 when nothing is pending.
    int millisecondsUntilExpiry(std::uint64_t nowMs) const;
    // Mouse buttons held, as dwButtonState bits.
    std::uint32_t heldButtons() const { return buttons; }
    void reset();

private:
    enum class Parse { done, incomplete };
    // Decodes one unit at the start of pending; sets used to the bytes taken.
    Parse decodeOne(const std::uint8_t* p, std::size_t n, std::size_t& used, bool timedOut, InputQueue& out);
    Parse decodeEscape(const std::uint8_t* p, std::size_t n, std::size_t& used, bool timedOut, InputQueue& out);
    Parse decodeCsi(const std::uint8_t* p, std::size_t n, std::size_t& used, InputQueue& out);
    Parse decodeUtf8(const std::uint8_t* p, std::size_t n, std::size_t& used, bool timedOut, InputQueue& out);
    void run(bool timedOut, InputQueue& out);
    void mouse(int code, int x, int y, bool release, InputQueue& out);
    // The text of a bracketed paste up to its end marker; false while the
    // pending bytes may still be the start of that marker.
    Parse decodePasted(const std::uint8_t* p, std::size_t n, std::size_t& used, bool timedOut, InputQueue& out);

    std::string pending; // bytes of an unfinished sequence
    std::uint64_t pendingSince = 0;
    std::uint32_t buttons = 0;
    bool pasting = false;     // inside a bracketed paste
    bool pasteBegins = false; // its first key is still to come
    bool pastedCr = false;    // the last pasted byte was CR (a LF after it is the same break)
};

// The key that types an ASCII byte on a US keyboard: virtual-key code and Shift.
void asciiKey(std::uint8_t ch, std::uint16_t& vk, std::uint32_t& control);

// What every fuzz target and its replay driver share: the console they run on
// (a null console with an input queue, so whole game frames can be fed
// records) and a switch for keeping files on disk.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>

#include "console/null_console.h"

struct FuzzConsole : NullConsole {
    std::deque<INPUT_RECORD> input;

    bool GetNumberOfConsoleInputEvents(HANDLE, std::uint32_t* count) override {
        *count = static_cast<std::uint32_t>(input.size());
        return true;
    }
    bool ReadConsoleInputA(HANDLE handle, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) override {
        if (input.empty() || length == 0) return NullConsole::ReadConsoleInputA(handle, buffer, length, read);
        buffer[0] = input.front();
        input.pop_front();
        if (read) *read = 1;
        return true;
    }
};

FuzzConsole& fuzzConsole();
// Off unless a target asks: most targets must not touch the disk.
extern bool fuzzKeepsFiles;

// Reads the fuzzer's bytes front to back; past the end every read yields 0.
struct ByteReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    bool done() const { return at >= size; }
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    std::uint16_t word() {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | byte() << 8);
    }
};

// Aborts with a message when an invariant does not hold (the fuzzer reports the input).
void fuzzCheck(bool condition, const char* what);

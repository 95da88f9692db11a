// The assembler: two passes over the lines of a text (labels first, then
// words), one error list per line, never stopping at an error.
//
//   std::vector<std::uint8_t> image = assembler.complie("add r3 r1 r2\nhlt");
//   if (assembler.errors.empty()) loadProgram(image);
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct Cpu;

struct Asm {
    std::uint16_t address = 0;
    std::uint64_t line = 0;
    std::unordered_map<std::string, std::uint16_t> labels;
    std::vector<std::uint16_t> lineAddress;
    std::unordered_map<std::uint64_t, std::vector<std::string>> errors;

    std::vector<std::uint8_t> complie(const std::string& text);
    void scanLine(const std::string& text, std::uint64_t number);
    void encodeLine(const std::string& text, std::uint64_t number, std::vector<std::uint8_t>& image);

    static std::vector<std::string> split(const std::string& text, char separator, bool keepEmpty);
    std::uint8_t parseRegister(const std::string& token);
    std::uint8_t parseByte(const std::string& token);
    std::uint16_t parseAddress(const std::string& token, bool relative);
    void report(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

extern Asm assembler;

// Resets the CPU and copies the image into memory from 0x0000.
void loadProgram(const std::vector<std::uint8_t>& image);
// The same into another machine (a level's reference run on the side).
void loadProgram(Cpu& machine, const std::vector<std::uint8_t>& image);

// A program's size as players compare it: instruction words (lines that
// assemble to four bytes) and all bytes, DTA data included.
struct ProgramSize {
    std::size_t instructions = 0;
    std::size_t bytes = 0;
};
ProgramSize programSize(const std::vector<std::uint8_t>& image, const std::vector<std::uint16_t>& lineAddress);

// STUB: replaced by the assembler.
#include "asm/asm.h"
std::vector<std::uint8_t> Asm::complie(const std::string&) { return {}; }
void Asm::scanLine(const std::string&, std::uint64_t) {}
void Asm::encodeLine(const std::string&, std::uint64_t, std::vector<std::uint8_t>&) {}
std::vector<std::string> Asm::split(const std::string&, char, bool) { return {}; }
std::uint8_t Asm::parseRegister(const std::string&) { return 0; }
std::uint8_t Asm::parseByte(const std::string&) { return 0; }
std::uint16_t Asm::parseAddress(const std::string&, bool) { return 0; }
void Asm::report(const char*, ...) {}
void loadProgram(const std::vector<std::uint8_t>&) {}

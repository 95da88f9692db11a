// Warnings for source that assembles but is almost certainly not what the
// player meant. They read the text on their own, after a compile, and never
// change the image or Asm::errors.
//
//   for (const AsmWarning& w : findAsmWarnings(source))
//       consolePrintf("第%llu行：警告：%s", w.line, w.message.c_str());
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct AsmWarning {
    std::uint64_t line; // counted from 0, as the assembler counts lines
    std::string message; // GBK, ends in a line break
};

// In line order; a line may have several.
std::vector<AsmWarning> findAsmWarnings(const std::string& text);

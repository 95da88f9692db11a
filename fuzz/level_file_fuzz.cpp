// Any bytes as a teacher's level file, through the whole of the reader the
// judge's check-level uses: the TOML parse, every check of the file's form,
// the reference assembled and played on the level against itself, and the
// level set up the way the game and the judge set it up. The passes, boundary
// runs and step limit are cut down so that every input ends quickly; the
// level's own limits are what the reader must keep bounded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_host.h"
#include "judge/judge_level_file.h"
#include "levels/custom_level.h"
#include "levels/level_file.h"

namespace {
// toml++ 3.3.0's is_non_ascii_horizontal_whitespace reaches __builtin_unreachable
// for the characters below met outside a string (a stray "é" or "。"): its
// table leaves blocks 0, 11 and 63 of 0x3FA code points from U+00A0 to its
// switch, which knows only blocks 5 and 7. Undefined behaviour inside the
// library, reported apart; here they become 一 so that fuzzing goes on past it.
bool tomlUnreachable(unsigned c) {
    if (c <= 0xA0 || c >= 0xFEFF || c == 0x3000) return false;
    const unsigned block = (c - 0xA0) / 0x3FA;
    return block == 0 || block == 11 || block == 63;
}

std::string withoutTomlUnreachable(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
        const bool two = (byte(0) & 0xE0) == 0xC0 && i + 1 < text.size() && (byte(1) & 0xC0) == 0x80;
        const bool three = (byte(0) & 0xF0) == 0xE0 && i + 2 < text.size() && (byte(1) & 0xC0) == 0x80 &&
                           (byte(2) & 0xC0) == 0x80;
        const unsigned c = two     ? (byte(0) & 0x1Fu) << 6 | (byte(1) & 0x3Fu)
                           : three ? (byte(0) & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu)
                                   : 0;
        if (tomlUnreachable(c)) {
            out += "\xE4\xB8\x80";
            i += two ? 1 : 2;
        } else {
            out += text[i];
        }
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = withoutTomlUnreachable(std::string(reinterpret_cast<const char*>(data), size));
    LevelFile file = parseLevelFile(text, "fuzz.toml");
    // A file is either a level or a list of problems, each naming the file.
    if (file.level.has_value() == !file.errors.empty()) std::abort();
    for (const std::string& error : file.errors)
        if (error.rfind("fuzz.toml", 0) != 0) std::abort();
    if (!file.level) return 0;
    CustomLevel level = std::move(*file.level);
    level.passes = std::min(level.passes, 3u);
    if (level.boundary.size() > 3) level.boundary.resize(3);
    level.maxSteps = std::min<std::uint64_t>(level.maxSteps ? level.maxSteps : 2000, 2000);
    levelProblems(level, 2000);
    useCustomLevel(nullptr);
    return 0;
}

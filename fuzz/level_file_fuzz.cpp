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
// for U+2CFE-U+30F7 (but U+3000) and U+FB36-U+FEFE met outside a string, such
// as a stray "。": undefined behaviour inside the library, reported apart.
// Those characters become 一 here so that fuzzing goes on past it.
std::string withoutTomlUnreachable(std::string text) {
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
        if ((byte(0) & 0xF0) != 0xE0 || (byte(1) & 0xC0) != 0x80 || (byte(2) & 0xC0) != 0x80) continue;
        const unsigned c = (byte(0) & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
        if ((c >= 0x2CFE && c <= 0x30F7 && c != 0x3000) || (c >= 0xFB36 && c <= 0xFEFE)) text.replace(i, 3, "\xE4\xB8\x80");
    }
    return text;
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

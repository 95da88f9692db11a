#include "judge/judge_cli.h"

#include <algorithm>

#include "asm/asm.h"
#include "levels/levels.h"

std::uint64_t requireNumber(std::string_view text, int base, std::size_t maxDigits, std::uint64_t max,
                            const char* what) {
    const auto bad = [&] { return UsageError{std::string("bad ") + what + " '" + std::string(text) + "'"}; };
    if (text.empty() || text.size() > maxDigits) throw bad();
    std::uint64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else throw bad();
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    if (value > max) throw bad();
    return value;
}

std::uint16_t requireJudgedLevel(std::string_view text) {
    // Level 0 and the open levels after the last core level check nothing, so
    // every program would "complete" them.
    const std::uint64_t level = requireNumber(text, 10, 5, 0xFFFF, "level");
    if (level < 1 || level > LAST_CORE_LEVEL)
        throw UsageError{"level " + std::string(text) + " is not judged (levels 1-" + std::to_string(LAST_CORE_LEVEL) +
                         ")"};
    return static_cast<std::uint16_t>(level);
}

Json assemblyErrorsJson() {
    std::vector<std::uint64_t> lines;
    for (const auto& entry : assembler.errors) lines.push_back(entry.first);
    std::sort(lines.begin(), lines.end());
    Json errors = Json::object();
    for (std::uint64_t line : lines) {
        Json messages = Json::array();
        for (const std::string& message : assembler.errors.at(line)) messages.push_back(gbkToUtf8(message));
        errors[std::to_string(line)] = std::move(messages);
    }
    return errors;
}

Json assemblyJson(const std::vector<std::uint8_t>& image) {
    Json out;
    out["image"] = hexBytes(image.data(), image.size());
    out["lineAddress"] = assembler.lineAddress;
    out["errors"] = assemblyErrorsJson();
    return out;
}

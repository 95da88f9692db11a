// asmquest-judge run FILE: assembles and runs a program from a cold machine
// with optional presets, and prints the machine state at the halt (or at the
// step limit) and what the program printed.
#include <memory>
#include <optional>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/panels.h"
#include "judge/judge_cli.h"
#include "judge/judge_source.h"

namespace {
struct RunOptions {
    std::string file;
    std::string steps = "1000000";
    std::vector<std::string> registers; // "N=XX"
    std::vector<std::string> memory;    // "AAAA=XX"
    std::string key;
    CLI::Option* keyGiven = nullptr;
    bool dumpMemory = false;
};

// "N=XX": a position in `base` and a hexadecimal byte.
std::pair<std::uint64_t, std::uint8_t> requireAssignment(std::string_view text, int base, std::size_t maxDigits,
                                                         std::uint64_t max, const char* what) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) throw UsageError{std::string("bad ") + what + " '" + std::string(text) + "'"};
    const std::uint64_t position = requireNumber(text.substr(0, equals), base, maxDigits, max, what);
    const std::uint64_t value = requireNumber(text.substr(equals + 1), 16, 2, 0xFF, what);
    return {position, static_cast<std::uint8_t>(value)};
}

// What the CPU printed, read back from the console panel's text grid: rows
// with trailing blanks removed, each ending in a line break.
std::string consoleText() {
    std::string text;
    std::size_t pendingRows = 0;
    const std::size_t columns = consolePanel.grid.size();
    const std::size_t rows = columns ? consolePanel.grid[0].size() : 0;
    for (std::size_t row = 0; row < rows; ++row) {
        std::string line;
        for (std::size_t column = 0; column < columns; ++column) {
            const char c = static_cast<char>(consolePanel.grid[column][row].character);
            line += c ? c : ' ';
        }
        line.erase(line.find_last_not_of(' ') + 1);
        if (line.empty()) {
            ++pendingRows;
            continue;
        }
        text.append(pendingRows, '\n');
        pendingRows = 0;
        text += line;
        text += '\n';
    }
    return text;
}

int run(const RunOptions& options) {
    const std::uint64_t stepLimit = requireNumber(options.steps, 10, 19, UINT64_MAX, "step count");
    std::vector<std::pair<std::uint8_t, std::uint8_t>> registers;
    for (const std::string& text : options.registers) {
        auto [index, byte] = requireAssignment(text, 10, 2, 15, "register preset");
        registers.emplace_back(static_cast<std::uint8_t>(index), byte);
    }
    std::vector<std::pair<std::uint16_t, std::uint8_t>> memory;
    for (const std::string& text : options.memory) {
        auto [where, byte] = requireAssignment(text, 16, 4, 0xFFFF, "memory preset");
        memory.emplace_back(static_cast<std::uint16_t>(where), byte);
    }
    std::optional<std::uint8_t> key;
    if (options.keyGiven->count()) key = static_cast<std::uint8_t>(requireNumber(options.key, 16, 2, 0xFF, "key code"));

    auto source = readSource(options.file);
    if (!source) return EXIT_USAGE;
    const std::vector<std::uint8_t> image = assembler.complie(*source);
    if (!assembler.errors.empty()) {
        printJsonLine(assemblyJson(image));
        return EXIT_ERRORS;
    }

    consolePanel.clearText();
    loadProgram(image);
    for (auto [index, byte] : registers) cpu.registers[index] = byte;
    for (auto [where, byte] : memory) cpu.memory[where] = byte;
    if (key) cpu.pendingKey = *key;
    cpu.halted = 0;
    const std::uint64_t steps = cpu.run(stepLimit);

    Json out;
    out["halted"] = cpu.halted;
    out["steps"] = steps;
    out["pc"] = cpu.pc;
    out["sp"] = cpu.sp;
    out["clk"] = cpu.clk;
    out["flags"] = cpu.flags;
    out["pendingKey"] = cpu.pendingKey;
    out["registers"] = Json::array();
    for (std::uint8_t value : cpu.registers) out["registers"].push_back(value);
    out["console"] = gbkToUtf8(consoleText());
    if (options.dumpMemory) out["memory"] = hexBytes(cpu.memory, sizeof cpu.memory);
    printJsonLine(out);
    return EXIT_DONE;
}
} // namespace

JudgeCommand addRunCommand(CLI::App& judge) {
    auto options = std::make_shared<RunOptions>();
    CLI::App* app = judge.add_subcommand("run", "Assemble FILE, run it from a cold machine and print the machine state");
    app->add_option("FILE", options->file, "GBK or UTF-8 assembly source")->required();
    app->add_option("--steps", options->steps, "Stop after N steps if it has not halted (decimal, default 1000000)");
    app->add_option("--reg", options->registers, "Preset register N (0-15, decimal) to XX (hexadecimal); repeatable")
        ->allow_extra_args(false);
    app->add_option("--mem", options->memory, "Preset memory AAAA to XX (both hexadecimal); repeatable")
        ->allow_extra_args(false);
    options->keyGiven = app->add_option("--key", options->key, "A key XX (hexadecimal) waiting before the first step");
    app->add_flag("--memory", options->dumpMemory, "Also print all 64 KiB of memory as hexadecimal");
    return {app, [options] { return run(*options); }};
}

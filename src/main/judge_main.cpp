// asmquest-judge: runs the game's assembler and CPU without a terminal and
// reports in one line of UTF-8 JSON. It never writes a file.
//
//   asmquest-judge asm FILE
//   asmquest-judge run FILE [--steps N] [--reg N=XX]... [--mem AAAA=XX]... [--key XX] [--memory]
//   asmquest-judge level N FILE... [--seed S] [--runs K] [--max-steps M]
//
// Exit status: 0 done, 1 the source has assembly errors (level: a file did not
// complete the level), 2 bad command line or unreadable file.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/level_play.h"
#include "game/panels.h"
#include "main/judge_json.h"

namespace {
constexpr const char* USAGE =
    "usage: asmquest-judge asm FILE\n"
    "       asmquest-judge run FILE [--steps N] [--reg N=XX]... [--mem AAAA=XX]... [--key XX] [--memory]\n"
    "       asmquest-judge level N FILE... [--seed S] [--runs K] [--max-steps M]\n"
    "  FILE is GBK or UTF-8 assembly source; numbers after --reg are 0-15 (decimal),\n"
    "  XX and AAAA are hexadecimal, N after --steps is decimal (default 1000000).\n";

constexpr int EXIT_ERRORS = 1;
constexpr int EXIT_USAGE = 2;

struct UsageError {
    std::string message;
};

int usage(const std::string& message) {
    std::fprintf(stderr, "asmquest-judge: %s\n%s", message.c_str(), USAGE);
    return EXIT_USAGE;
}

void printLine(const std::string& json) {
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fputc('\n', stdout);
}

// The file as the assembler wants it: GBK. A valid UTF-8 file with non-ASCII
// bytes is converted; anything else is taken to be GBK (as the game saves it).
std::optional<std::string> readSource(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        std::fprintf(stderr, "asmquest-judge: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    const bool failed = std::ferror(file);
    const int error = errno;
    std::fclose(file);
    if (failed) {
        std::fprintf(stderr, "asmquest-judge: cannot read %s: %s\n", path.c_str(), std::strerror(error));
        return std::nullopt;
    }
    if (isAscii(bytes) || !isUtf8(bytes)) return bytes;
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    return utf8ToGbk(bytes);
}

std::string assemblyJson(const std::vector<std::uint8_t>& image) {
    std::string addresses = "[";
    for (std::size_t i = 0; i < assembler.lineAddress.size(); ++i) {
        if (i) addresses += ',';
        addresses += std::to_string(assembler.lineAddress[i]);
    }
    addresses += ']';

    std::vector<std::uint64_t> lines;
    for (const auto& entry : assembler.errors) lines.push_back(entry.first);
    std::sort(lines.begin(), lines.end());
    JsonObject errors;
    for (std::uint64_t line : lines) {
        std::string messages = "[";
        for (const std::string& message : assembler.errors.at(line)) {
            if (messages.size() > 1) messages += ',';
            messages += jsonString(gbkToUtf8(message));
        }
        messages += ']';
        errors.raw(std::to_string(line), messages);
    }

    return JsonObject()
        .string("image", hexBytes(image.data(), image.size()))
        .raw("lineAddress", addresses)
        .raw("errors", errors.text())
        .text();
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

// Number parsing for the command line: all digits, in range, nothing else.
std::optional<std::uint64_t> parseNumber(std::string_view text, int base, std::size_t maxDigits, std::uint64_t max) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        value = value * base + digit;
    }
    if (value > max) return std::nullopt;
    return value;
}

std::uint64_t requireNumber(std::string_view text, int base, std::size_t maxDigits, std::uint64_t max,
                            const char* what) {
    auto value = parseNumber(text, base, maxDigits, max);
    if (!value) throw UsageError{std::string("bad ") + what + " '" + std::string(text) + "'"};
    return *value;
}

// "N=XX": a decimal or hexadecimal position and a hexadecimal byte.
std::pair<std::uint64_t, std::uint8_t> requireAssignment(std::string_view text, int base, std::size_t maxDigits,
                                                         std::uint64_t max, const char* what) {
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) throw UsageError{std::string("bad ") + what + " '" + std::string(text) + "'"};
    std::uint64_t position = requireNumber(text.substr(0, equals), base, maxDigits, max, what);
    std::uint64_t value = requireNumber(text.substr(equals + 1), 16, 2, 0xFF, what);
    return {position, std::uint8_t(value)};
}

struct RunOptions {
    std::string file;
    std::uint64_t steps = 1000000;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> registers;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> memory;
    std::optional<std::uint8_t> key;
    bool dumpMemory = false;
};

RunOptions parseRunOptions(std::span<char*> args) {
    RunOptions options;
    bool haveFile = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) throw UsageError{std::string(arg) + " needs a value"};
            return args[++i];
        };
        if (arg == "--steps") {
            options.steps = requireNumber(value(), 10, 19, UINT64_MAX, "step count");
        } else if (arg == "--reg") {
            auto [index, byte] = requireAssignment(value(), 10, 2, 15, "register preset");
            options.registers.emplace_back(std::uint8_t(index), byte);
        } else if (arg == "--mem") {
            auto [where, byte] = requireAssignment(value(), 16, 4, 0xFFFF, "memory preset");
            options.memory.emplace_back(std::uint16_t(where), byte);
        } else if (arg == "--key") {
            options.key = std::uint8_t(requireNumber(value(), 16, 2, 0xFF, "key code"));
        } else if (arg == "--memory") {
            options.dumpMemory = true;
        } else if (arg.starts_with("--") || haveFile) {
            throw UsageError{"unexpected argument '" + std::string(arg) + "'"};
        } else {
            options.file = arg;
            haveFile = true;
        }
    }
    if (!haveFile) throw UsageError{"run needs a FILE"};
    return options;
}

int commandAsm(std::span<char*> args) {
    if (args.size() != 1) throw UsageError{"asm takes exactly one FILE"};
    auto source = readSource(args[0]);
    if (!source) return EXIT_USAGE;
    std::vector<std::uint8_t> image = assembler.complie(*source);
    printLine(assemblyJson(image));
    return assembler.errors.empty() ? 0 : EXIT_ERRORS;
}

int commandRun(std::span<char*> args) {
    const RunOptions options = parseRunOptions(args);
    auto source = readSource(options.file);
    if (!source) return EXIT_USAGE;
    std::vector<std::uint8_t> image = assembler.complie(*source);
    if (!assembler.errors.empty()) {
        printLine(assemblyJson(image));
        return EXIT_ERRORS;
    }

    consolePanel.clearText();
    loadProgram(image);
    for (auto [index, byte] : options.registers) cpu.registers[index] = byte;
    for (auto [where, byte] : options.memory) cpu.memory[where] = byte;
    if (options.key) cpu.pendingKey = *options.key;
    cpu.halted = 0;
    const std::uint64_t steps = cpu.run(options.steps);

    std::string registers = "[";
    for (int i = 0; i < 16; ++i) {
        if (i) registers += ',';
        registers += std::to_string(cpu.registers[i]);
    }
    registers += ']';
    JsonObject out;
    out.number("halted", cpu.halted)
        .number("steps", steps)
        .number("pc", cpu.pc)
        .number("sp", cpu.sp)
        .number("clk", cpu.clk)
        .number("flags", cpu.flags)
        .number("pendingKey", cpu.pendingKey)
        .raw("registers", registers)
        .string("console", gbkToUtf8(consoleText()));
    if (options.dumpMemory) out.string("memory", hexBytes(cpu.memory, sizeof cpu.memory));
    printLine(out.text());
    return 0;
}

struct LevelOptions {
    std::uint16_t level = 0;
    std::vector<std::string> files;
    unsigned seed = 0;
    unsigned runs = 257;
    std::uint64_t maxSteps = 10000000;
};

LevelOptions parseLevelOptions(std::span<char*> args) {
    LevelOptions options;
    options.seed = static_cast<unsigned>(std::time(nullptr));
    bool haveLevel = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) throw UsageError{std::string(arg) + " needs a value"};
            return args[++i];
        };
        if (arg == "--seed") {
            options.seed = unsigned(requireNumber(value(), 10, 10, UINT32_MAX, "seed"));
        } else if (arg == "--runs") {
            options.runs = unsigned(requireNumber(value(), 10, 9, 100000000, "run count"));
        } else if (arg == "--max-steps") {
            options.maxSteps = requireNumber(value(), 10, 19, UINT64_MAX, "step limit");
        } else if (arg.starts_with("--")) {
            throw UsageError{"unexpected argument '" + std::string(arg) + "'"};
        } else if (!haveLevel) {
            options.level = std::uint16_t(requireNumber(arg, 10, 5, 0xFFFF, "level"));
            haveLevel = true;
        } else {
            options.files.emplace_back(arg);
        }
    }
    if (!haveLevel || options.files.empty()) throw UsageError{"level needs N and at least one FILE"};
    return options;
}

std::string levelFailureJson(const LevelVerdict& verdict) {
    if (!verdict.failed) return "null";
    std::string mismatches = "[";
    for (const Mismatch& m : verdict.mismatches) {
        if (mismatches.size() > 1) mismatches += ',';
        mismatches += JsonObject()
                          .string("where", m.where)
                          .string("expected", hexBytes(&m.expected, 1))
                          .string("actual", hexBytes(&m.actual, 1))
                          .text();
    }
    mismatches += ']';
    return JsonObject()
        .number("run", verdict.failedRun)
        .string("reason", verdict.reason)
        .raw("mismatches", mismatches)
        .text();
}

// Plays the level with each file as the game would, one JSON line per file.
int commandLevel(std::span<char*> args) {
    const LevelOptions options = parseLevelOptions(args);
    bool allCompleted = true;
    for (const std::string& file : options.files) {
        auto source = readSource(file);
        if (!source) return EXIT_USAGE;
        const LevelVerdict verdict = playLevel(options.level, *source, options.seed, options.runs, options.maxSteps);
        allCompleted = allCompleted && verdict.completed;
        printLine(JsonObject()
                      .string("file", isUtf8(file) ? file : gbkToUtf8(file))
                      .number("level", options.level)
                      .number("seed", options.seed)
                      .number("passes", verdict.passes)
                      .raw("completed", verdict.completed ? "true" : "false")
                      .raw("failure", levelFailureJson(verdict))
                      .text());
    }
    return allCompleted ? 0 : EXIT_ERRORS;
}

struct Command {
    std::string_view name;
    int (*run)(std::span<char*> args);
};

constexpr Command COMMANDS[] = {
    {"asm", commandAsm},
    {"run", commandRun},
    {"level", commandLevel},
};
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage("no command");
    std::span<char*> args(argv + 2, argv + argc);
    for (const Command& command : COMMANDS) {
        if (command.name != argv[1]) continue;
        try {
            return command.run(args);
        } catch (const UsageError& error) {
            return usage(error.message);
        }
    }
    return usage(std::string("unknown command '") + argv[1] + "'");
}

// The run log log.txt, for a teacher helping a student: what happened when
// (start, level changes, compiles, failed runs, save problems, the end), one
// line each under the local date and time. Beside them, typed trace records
// under wall-clock time headers; kinds switched off in logKindDisabled are
// dropped before anything is formatted. The file is opened at the first line
// written, so a game that was never played leaves none. Executables that keep
// no files (the headless judge, unit tests) never open it and drop every record.
//
//   logger.note("第%u关：编译成功，%zu条指令", level, count);   // 2026-12-07 21:30:05 第1关：编译成功，3条指令
//   logger.log(LogKind::FunctionCall, "Game::setLEVEL被调用，参数：leveln=0x%X\n", level);
#pragma once
#include <cstdarg>
#include <cstdint>
#include <cstdio>

enum class LogKind : std::uint8_t { FunctionCall = 0, FunctionReturn = 1, VariableValue = 2, Error = 3, Time = 4 };

inline constexpr int logKindCount = 5;
extern const std::uint8_t logKindDisabled[logKindCount];

// Milliseconds since 1970-01-01 00:00 UTC from the system clock.
std::uint64_t wallClockMillis();

struct Logger {
    std::FILE* file = nullptr;
    std::uint64_t lastStampMillis = ~std::uint64_t{0};
    // The clock of the time headers and notes (tests pin it).
    std::uint64_t (*clock)() = wallClockMillis;
    // While set nothing is written (a game that only reads another game's folder).
    bool paused = false;

    Logger();
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void log(LogKind kind, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // The same with an explicit switch table of logKindCount entries (tests turn kinds on through it).
    void logWith(const std::uint8_t* disabledTable, LogKind kind, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    // One line for the reader of the log, under the local date and time; written at once.
    void note(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    void write(const std::uint8_t* disabledTable, LogKind kind, const char* format, va_list args);
};

extern Logger logger;

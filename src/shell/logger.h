// The trace log log.txt: typed records under wall-clock time headers. Kinds
// switched off in logKindDisabled are dropped before anything is formatted,
// so with the fixed table the file stays as it was. Executables that keep no
// files (the headless judge, unit tests) never open it and drop every record.
//
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
    // The clock of the time headers (tests pin it).
    std::uint64_t (*clock)() = wallClockMillis;

    Logger();
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void log(LogKind kind, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // The same with an explicit switch table of logKindCount entries (tests turn kinds on through it).
    void logWith(const std::uint8_t* disabledTable, LogKind kind, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

private:
    void write(const std::uint8_t* disabledTable, LogKind kind, const char* format, va_list args);
};

extern Logger logger;

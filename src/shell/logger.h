// The trace log log.txt: typed records under wall-clock time headers. Kinds
// switched off in logKindDisabled are dropped before anything is formatted,
// so with the fixed table the file stays as it was and tmp.tmp never appears.
//
//   logger.log(LogKind::FunctionCall, "Game::setLEVEL被调用，参数：leveln=0x%X\n", level);
#pragma once
#include <cstdint>
#include <cstdio>

enum class LogKind : std::uint8_t { FunctionCall = 0, FunctionReturn = 1, VariableValue = 2, Error = 3, Time = 4 };

extern const std::uint8_t logKindDisabled[5];

struct Logger {
    std::FILE* file = nullptr;
    std::uint64_t lastStampMillis = ~std::uint64_t{0};

    Logger();
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void log(LogKind kind, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // The same with an explicit switch table (tests turn kinds on through it).
    void logWith(const std::uint8_t* disabledTable, LogKind kind, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

private:
    void write(const std::uint8_t* disabledTable, LogKind kind, const char* format, va_list args);
};

extern Logger logger;

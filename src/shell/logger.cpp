#include "shell/logger.h"

#include <ctime>
#include <time.h>
#include <string>

#include "console/platform.h"

// Function calls would trace every frame; they stay off.
const std::uint8_t logKindDisabled[logKindCount] = {1, 0, 0, 0, 0};

namespace {
const char* const kindPrefix[logKindCount] = {"函数调用：", "函数返回：", "变量值：", "错误：", "时间："};

std::FILE* openLogFile() { return hostKeepsFiles() ? std::fopen("log.txt", "a+") : nullptr; }
} // namespace

// <chrono> cannot be compiled with a GBK execution character set (its
// literals name the micro sign), so the C clock is read instead.
std::uint64_t wallClockMillis() {
    timespec now{}; // clock_gettime: mingw's C library has no timespec_get
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

Logger::Logger() = default;

Logger::~Logger() {
    if (file) std::fclose(file);
    file = nullptr;
}

void Logger::log(LogKind kind, const char* format, ...) {
    va_list args;
    va_start(args, format);
    write(logKindDisabled, kind, format, args);
    va_end(args);
}

void Logger::logWith(const std::uint8_t* disabledTable, LogKind kind, const char* format, ...) {
    va_list args;
    va_start(args, format);
    write(disabledTable, kind, format, args);
    va_end(args);
}

void Logger::write(const std::uint8_t* disabledTable, LogKind kind, const char* format, va_list args) {
    const auto index = static_cast<std::uint8_t>(kind);
    if (index < logKindCount && disabledTable[index]) return;
    if (index >= logKindCount) {
        logWith(disabledTable, LogKind::Error, "未知的日志类型：0x%X", static_cast<unsigned>(index));
        return;
    }
    if (paused) return;
    if (!file) file = openLogFile();
    if (!file) return;

    const std::uint64_t now = clock();
    if (now != lastStampMillis) {
        std::fprintf(file, "\n时间：%llu.%llu\n", static_cast<unsigned long long>(now / 1000),
                     static_cast<unsigned long long>(now % 1000));
        lastStampMillis = now;
    }

    // Formatted in memory; the record is one line, so line breaks in the
    // message are dropped.
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string message(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, '\0');
    if (length > 0) std::vsnprintf(message.data(), message.size(), format, args);
    message.resize(length > 0 ? static_cast<std::size_t>(length) : 0);

    std::fputs(kindPrefix[index], file);
    for (char c : message)
        if (c != '\n' && c != '\r') std::fputc(c, file);
    std::fputc('\n', file);
}

void Logger::note(const char* format, ...) {
    if (paused) return;
    if (!file) file = openLogFile();
    if (!file) return;
    const std::uint64_t now = clock();
    const std::time_t seconds = static_cast<std::time_t>(now / 1000);
    char stamp[32] = "";
    if (const std::tm* local = std::localtime(&seconds)) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", local);
    va_list args;
    va_start(args, format);
    char message[1024];
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::fputs(stamp, file);
    std::fputc(' ', file);
    for (const char* c = message; *c; ++c)
        if (*c != '\n' && *c != '\r') std::fputc(*c, file);
    std::fputc('\n', file);
    std::fflush(file); // a teacher reads it while the game runs, or after it crashed
}

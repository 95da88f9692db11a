// STUB: replaced by the logger implementation.
#include "shell/logger.h"
#include <cstdarg>
const std::uint8_t logKindDisabled[5] = {1, 0, 0, 0, 0};
Logger::Logger() {}
Logger::~Logger() {}
void Logger::log(LogKind, const char*, ...) {}
void Logger::logWith(const std::uint8_t*, LogKind, const char*, ...) {}
void Logger::write(const std::uint8_t*, LogKind, const char*, va_list) {}

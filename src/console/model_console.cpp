#include "console/model_console.h"

namespace {
constexpr HANDLE inputHandle = 10;
constexpr HANDLE outputHandle = 11;
} // namespace

void ModelConsole::queueSizeRecord() {
    INPUT_RECORD r;
    r.EventType = WINDOW_BUFFER_SIZE_EVENT;
    r.Event.WindowBufferSizeEvent = WINDOW_BUFFER_SIZE_RECORD{};
    r.Event.WindowBufferSizeEvent.dwSize = {static_cast<std::int16_t>(model.width()),
                                            static_cast<std::int16_t>(model.height())};
    queue.push(r);
}

const std::string& ModelConsole::renderFrame() {
    frame.clear();
    model.render(frame);
    return frame;
}

HANDLE ModelConsole::GetStdHandle(std::int32_t which) {
    if (which == STD_INPUT_HANDLE) return inputHandle;
    if (which == STD_OUTPUT_HANDLE) return outputHandle;
    return INVALID_HANDLE_VALUE;
}

bool ModelConsole::GetConsoleScreenBufferInfo(HANDLE, CONSOLE_SCREEN_BUFFER_INFO* info) {
    beforeSizeQuery();
    *info = CONSOLE_SCREEN_BUFFER_INFO{};
    info->dwSize = {static_cast<std::int16_t>(model.bufferWidth()), static_cast<std::int16_t>(model.bufferHeight())};
    info->dwCursorPosition = {static_cast<std::int16_t>(model.cursorX()), static_cast<std::int16_t>(model.cursorY())};
    info->wAttributes = 0x07;
    info->srWindow = {0, 0, static_cast<std::int16_t>(model.width() - 1), static_cast<std::int16_t>(model.height() - 1)};
    info->dwMaximumWindowSize = {static_cast<std::int16_t>(model.width()), static_cast<std::int16_t>(model.height())};
    return true;
}

bool ModelConsole::WriteConsoleOutputCharacterA(HANDLE, const char* text, std::uint32_t length, COORD start,
                                                std::uint32_t* written) {
    std::uint32_t n = model.writeCharacters(start.X, start.Y, text, length);
    if (written) *written = n;
    return true;
}

bool ModelConsole::FillConsoleOutputAttribute(HANDLE, std::uint16_t attribute, std::uint32_t length, COORD start,
                                              std::uint32_t* written) {
    std::uint32_t n = model.fillAttribute(start.X, start.Y, static_cast<std::uint8_t>(attribute), length);
    if (written) *written = n;
    return true;
}

bool ModelConsole::FillConsoleOutputCharacterA(HANDLE, char character, std::uint32_t length, COORD start,
                                               std::uint32_t* written) {
    std::uint32_t n = model.fillCharacter(start.X, start.Y, static_cast<std::uint8_t>(character), length);
    if (written) *written = n;
    return true;
}

bool ModelConsole::SetConsoleCursorPosition(HANDLE, COORD position) {
    model.setCursor(position.X, position.Y);
    return true;
}

bool ModelConsole::GetConsoleCursorInfo(HANDLE, CONSOLE_CURSOR_INFO* info) {
    *info = cursorInfo;
    return true;
}

bool ModelConsole::SetConsoleCursorInfo(HANDLE, const CONSOLE_CURSOR_INFO* info) {
    cursorInfo = *info;
    model.setCursorVisible(info->bVisible != 0);
    return true;
}

bool ModelConsole::GetConsoleMode(HANDLE, std::uint32_t* mode) {
    *mode = inputMode;
    return true;
}

bool ModelConsole::SetConsoleMode(HANDLE, std::uint32_t mode) {
    inputMode = mode;
    return true;
}

bool ModelConsole::GetNumberOfConsoleInputEvents(HANDLE, std::uint32_t* count) {
    flush();
    pollInput();
    *count = static_cast<std::uint32_t>(queue.size());
    return true;
}

bool ModelConsole::ReadConsoleInputA(HANDLE, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) {
    std::uint32_t n = 0;
    if (length > 0) {
        flush();
        pollInput();
        while (queue.empty()) waitForInput();
        while (n < length && queue.pop(buffer[n])) ++n;
    }
    if (read) *read = n;
    return true;
}

bool ModelConsole::PeekConsoleInputA(HANDLE, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) {
    pollInput();
    std::uint32_t n = 0;
    for (; n < length && n < queue.size(); ++n) buffer[n] = queue[n];
    if (read) *read = n;
    return true;
}

void ModelConsole::WriteStandardOutput(const char* text, std::uint32_t length) { model.writeText(text, length, 0x07); }

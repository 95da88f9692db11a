#include "console/fake_console.h"

#include <algorithm>

namespace {
constexpr HANDLE fakeInput = 10;
constexpr HANDLE fakeOutput = 11;
} // namespace

FakeConsole::FakeConsole() { reset(); }

void FakeConsole::reset() {
    quits = 0;
    calls.clear();
    input.clear();
    unreadable.clear();
    mode = 0x1F7;
    cursor = {};
    cursorVisible = true;
    outputValid = true;
    sleptMilliseconds = 0;
    standardOutput.clear();
    recording = true;
    cells.assign(static_cast<std::size_t>(width) * height, Cell{});
}

void FakeConsole::resize(int newWidth, int newHeight) {
    std::vector<Cell> next(static_cast<std::size_t>(newWidth) * newHeight);
    for (int y = 0; y < std::min(height, newHeight); ++y)
        for (int x = 0; x < std::min(width, newWidth); ++x) next[y * newWidth + x] = cells[y * width + x];
    width = newWidth;
    height = newHeight;
    cells = std::move(next);
}

FakeConsole::Cell& FakeConsole::cell(int x, int y) { return cells[static_cast<std::size_t>(y) * width + x]; }

std::string FakeConsole::row(int y) const {
    std::string out;
    for (int x = 0; x < width; ++x) out += static_cast<char>(cells[static_cast<std::size_t>(y) * width + x].character);
    return out;
}

std::size_t FakeConsole::count(const std::string& name) const {
    return static_cast<std::size_t>(std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.name == name; }));
}

void FakeConsole::pushKey(std::uint16_t vk, char ch, std::uint32_t control) {
    input.push_back(makeKeyRecord(vk, static_cast<std::uint8_t>(ch), control));
}

void FakeConsole::pushText(const std::string& gbkBytes) {
    for (unsigned char b : gbkBytes) {
        std::uint16_t vk = 0;
        if (b >= 'a' && b <= 'z') vk = static_cast<std::uint16_t>(b - 'a' + 'A');
        else if ((b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == ' ' || b == '\r' || b == '\b') vk = b;
        else if (b == '\n') vk = VK_RETURN, b = '\r';
        pushKey(vk, static_cast<char>(b), (b >= 'A' && b <= 'Z') ? SHIFT_PRESSED : 0);
    }
}

void FakeConsole::pushMouse(int x, int y, std::uint32_t buttons, std::uint32_t flags) {
    input.push_back(makeMouseRecord(x, y, buttons, flags));
}

void FakeConsole::record(const char* name, std::string text, std::uint32_t length, std::uint16_t value, COORD at) {
    if (!recording) return;
    calls.push_back(Call{name, std::move(text), length, value, at});
}

HANDLE FakeConsole::GetStdHandle(std::int32_t which) {
    if (which == STD_INPUT_HANDLE) return fakeInput;
    return outputValid ? fakeOutput : INVALID_HANDLE_VALUE;
}

bool FakeConsole::GetConsoleScreenBufferInfo(HANDLE, CONSOLE_SCREEN_BUFFER_INFO* info) {
    record("GetConsoleScreenBufferInfo");
    *info = CONSOLE_SCREEN_BUFFER_INFO{};
    info->dwSize = {static_cast<std::int16_t>(width), static_cast<std::int16_t>(height)};
    info->dwCursorPosition = cursor;
    info->wAttributes = 0x07;
    info->srWindow = {0, 0, static_cast<std::int16_t>(width - 1), static_cast<std::int16_t>(height - 1)};
    info->dwMaximumWindowSize = info->dwSize;
    return true;
}

bool FakeConsole::WriteConsoleOutputCharacterA(HANDLE, const char* text, std::uint32_t length, COORD start,
                                               std::uint32_t* written) {
    // The text is copied only when recorded: a frame's writes allocate nothing.
    if (recording) record("WriteConsoleOutputCharacterA", std::string(text, length), length, 0, start);
    std::uint32_t n = 0;
    for (int x = start.X, y = start.Y; n < length && y < height; ++n) {
        if (x >= 0 && y >= 0) cell(x, y).character = static_cast<std::uint8_t>(text[n]);
        if (++x >= width) x = 0, ++y;
    }
    if (written) *written = n;
    return true;
}

bool FakeConsole::FillConsoleOutputAttribute(HANDLE, std::uint16_t attribute, std::uint32_t length, COORD start,
                                             std::uint32_t* written) {
    record("FillConsoleOutputAttribute", {}, length, attribute, start);
    std::uint32_t n = 0;
    for (int x = start.X, y = start.Y; n < length && y < height; ++n) {
        if (x >= 0 && y >= 0) cell(x, y).attribute = attribute;
        if (++x >= width) x = 0, ++y;
    }
    if (written) *written = n;
    return true;
}

bool FakeConsole::FillConsoleOutputCharacterA(HANDLE, char character, std::uint32_t length, COORD start,
                                              std::uint32_t* written) {
    record("FillConsoleOutputCharacterA", {}, length, static_cast<std::uint8_t>(character), start);
    std::uint32_t n = 0;
    for (int x = start.X, y = start.Y; n < length && y < height; ++n) {
        if (x >= 0 && y >= 0) cell(x, y).character = static_cast<std::uint8_t>(character);
        if (++x >= width) x = 0, ++y;
    }
    if (written) *written = n;
    return true;
}

bool FakeConsole::SetConsoleCursorPosition(HANDLE, COORD position) {
    record("SetConsoleCursorPosition", {}, 0, 0, position);
    cursor = position;
    return true;
}

bool FakeConsole::GetConsoleCursorInfo(HANDLE, CONSOLE_CURSOR_INFO* info) {
    record("GetConsoleCursorInfo");
    info->dwSize = 25;
    info->bVisible = cursorVisible ? 1 : 0;
    return true;
}

bool FakeConsole::SetConsoleCursorInfo(HANDLE, const CONSOLE_CURSOR_INFO* info) {
    record("SetConsoleCursorInfo", {}, 0, static_cast<std::uint16_t>(info->bVisible));
    cursorVisible = info->bVisible != 0;
    return true;
}

bool FakeConsole::GetConsoleMode(HANDLE, std::uint32_t* value) {
    record("GetConsoleMode");
    *value = mode;
    return true;
}

bool FakeConsole::SetConsoleMode(HANDLE, std::uint32_t value) {
    record("SetConsoleMode", {}, value);
    mode = value;
    return true;
}

bool FakeConsole::SetConsoleCtrlHandler(PHANDLER_ROUTINE, bool add) {
    record("SetConsoleCtrlHandler", {}, add ? 1 : 0);
    return true;
}

bool FakeConsole::GetNumberOfConsoleInputEvents(HANDLE, std::uint32_t* count) {
    *count = static_cast<std::uint32_t>(input.size() + unreadable.size());
    return true;
}

bool FakeConsole::ReadConsoleInputA(HANDLE, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) {
    record("ReadConsoleInputA", {}, length);
    std::uint32_t n = 0;
    if (!unreadable.empty()) {
        if (length > 0) buffer[0] = unreadable.front();
        unreadable.pop_front();
        if (read) *read = 0;
        return false;
    }
    // An empty queue would block a real console; the fake delivers a size record instead.
    if (input.empty()) {
        INPUT_RECORD size;
        size.EventType = WINDOW_BUFFER_SIZE_EVENT;
        size.Event.WindowBufferSizeEvent = WINDOW_BUFFER_SIZE_RECORD{};
        size.Event.WindowBufferSizeEvent.dwSize = {static_cast<std::int16_t>(width), static_cast<std::int16_t>(height)};
        if (length > 0) buffer[n++] = size;
    }
    while (n < length && !input.empty()) {
        buffer[n++] = input.front();
        input.pop_front();
    }
    if (read) *read = n;
    return true;
}

bool FakeConsole::PeekConsoleInputA(HANDLE, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) {
    std::uint32_t n = 0;
    for (; n < length && n < input.size(); ++n) buffer[n] = input[n];
    if (read) *read = n;
    return true;
}

void FakeConsole::WriteStandardOutput(const char* text, std::uint32_t length) {
    record("WriteStandardOutput", std::string(text, length), length);
    standardOutput.append(text, length);
}

void FakeConsole::Sleep(std::uint32_t milliseconds) {
    record("Sleep", {}, milliseconds);
    sleptMilliseconds += milliseconds;
}

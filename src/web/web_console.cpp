#include "web/web_console.h"

#include <emscripten.h>
#include <time.h>

#include <cstdlib>

#include "ui/gbk_text.h"

// The page's side (web/asmquest.js sets Module.asmquestBridge).
EM_JS(void, bridgeWrite, (const char* bytes, int length),
      { Module.asmquestBridge.write(HEAPU8.slice(bytes, bytes + length)); });
EM_JS(int, bridgeTakeInput, (char* buffer, int capacity), {
    const taken = Module.asmquestBridge.takeInput(capacity);
    HEAPU8.set(taken, buffer);
    return taken.length;
});
EM_JS(int, bridgeColumns, (), { return Module.asmquestBridge.columns(); });
EM_JS(int, bridgeRows, (), { return Module.asmquestBridge.rows(); });
EM_JS(void, bridgeQuit, (), { Module.asmquestBridge.quit(); });

namespace {

constexpr HANDLE inputHandle = 10;
constexpr HANDLE outputHandle = 11;
// What a terminal is put in for the game (terminal_modes.cpp): alternate
// screen, autowrap off, cursor hidden, any-motion mouse in SGR form.
constexpr char enterBytes[] = "\x1b[?1049h\x1b[?7l\x1b[?25l\x1b[?1003h\x1b[?1006h";
// How long a wait for input sleeps between looks at the page's queue.
constexpr std::uint32_t inputPollMs = 8;

std::uint64_t nowMicros() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000 + static_cast<std::uint64_t>(t.tv_nsec) / 1000;
}

} // namespace

WebConsole::WebConsole() {
    model.resize(bridgeColumns(), bridgeRows());
    prepareGbkTables();
    frame.reserve(1 << 16);
    bridgeWrite(enterBytes, sizeof enterBytes - 1);
    queueSizeRecord();
    wokeMicros = nowMicros();
}

void WebConsole::flush() {
    frame.clear();
    model.render(frame);
    if (!frame.empty()) bridgeWrite(frame.data(), static_cast<int>(frame.size()));
}

void WebConsole::queueSizeRecord() {
    INPUT_RECORD r;
    r.EventType = WINDOW_BUFFER_SIZE_EVENT;
    r.Event.WindowBufferSizeEvent = WINDOW_BUFFER_SIZE_RECORD{};
    r.Event.WindowBufferSizeEvent.dwSize = {static_cast<std::int16_t>(model.width()),
                                            static_cast<std::int16_t>(model.height())};
    queue.push(r);
}

void WebConsole::quit() {
    flush();
    bridgeQuit();
    for (;;) emscripten_sleep(1000000);
}

void WebConsole::pump() {
    const int width = bridgeColumns(), height = bridgeRows();
    if (width != model.width() || height != model.height()) {
        // xterm.js reflows on resize: paint it all again.
        model.resize(width, height);
        queueSizeRecord();
    }
    char buffer[4096];
    for (int n; (n = bridgeTakeInput(buffer, sizeof buffer)) > 0;)
        decoder.feed(buffer, static_cast<std::size_t>(n), nowMicros() / 1000, decoded);
    decoder.expire(nowMicros() / 1000, decoded);
    INPUT_RECORD r;
    while (decoded.pop(r)) {
        if (r.EventType == KEY_EVENT && r.Event.KeyEvent.wVirtualKeyCode == VK_F10 && !(f10AsksFirst && f10AsksFirst()))
            quit();
        queue.push(r);
    }
}

HANDLE WebConsole::GetStdHandle(std::int32_t which) {
    if (which == STD_INPUT_HANDLE) return inputHandle;
    if (which == STD_OUTPUT_HANDLE) return outputHandle;
    return INVALID_HANDLE_VALUE;
}

bool WebConsole::GetConsoleScreenBufferInfo(HANDLE, CONSOLE_SCREEN_BUFFER_INFO* info) {
    *info = CONSOLE_SCREEN_BUFFER_INFO{};
    info->dwSize = {static_cast<std::int16_t>(model.bufferWidth()), static_cast<std::int16_t>(model.bufferHeight())};
    info->dwCursorPosition = {static_cast<std::int16_t>(model.cursorX()), static_cast<std::int16_t>(model.cursorY())};
    info->wAttributes = 0x07;
    info->srWindow = {0, 0, static_cast<std::int16_t>(model.width() - 1), static_cast<std::int16_t>(model.height() - 1)};
    info->dwMaximumWindowSize = {static_cast<std::int16_t>(model.width()), static_cast<std::int16_t>(model.height())};
    return true;
}

bool WebConsole::WriteConsoleOutputCharacterA(HANDLE, const char* text, std::uint32_t length, COORD start,
                                              std::uint32_t* written) {
    std::uint32_t n = model.writeCharacters(start.X, start.Y, text, length);
    if (written) *written = n;
    return true;
}

bool WebConsole::FillConsoleOutputAttribute(HANDLE, std::uint16_t attribute, std::uint32_t length, COORD start,
                                            std::uint32_t* written) {
    std::uint32_t n = model.fillAttribute(start.X, start.Y, static_cast<std::uint8_t>(attribute), length);
    if (written) *written = n;
    return true;
}

bool WebConsole::FillConsoleOutputCharacterA(HANDLE, char character, std::uint32_t length, COORD start,
                                             std::uint32_t* written) {
    std::uint32_t n = model.fillCharacter(start.X, start.Y, static_cast<std::uint8_t>(character), length);
    if (written) *written = n;
    return true;
}

bool WebConsole::SetConsoleCursorPosition(HANDLE, COORD position) {
    model.setCursor(position.X, position.Y);
    return true;
}

bool WebConsole::GetConsoleCursorInfo(HANDLE, CONSOLE_CURSOR_INFO* info) {
    *info = cursorInfo;
    return true;
}

bool WebConsole::SetConsoleCursorInfo(HANDLE, const CONSOLE_CURSOR_INFO* info) {
    cursorInfo = *info;
    model.setCursorVisible(info->bVisible != 0);
    return true;
}

bool WebConsole::GetConsoleMode(HANDLE, std::uint32_t* mode) {
    *mode = inputMode;
    return true;
}

bool WebConsole::SetConsoleMode(HANDLE, std::uint32_t mode) {
    inputMode = mode;
    return true;
}

// A page has no console control events; Ctrl+C is a key.
bool WebConsole::SetConsoleCtrlHandler(PHANDLER_ROUTINE, bool) { return true; }

bool WebConsole::GetNumberOfConsoleInputEvents(HANDLE, std::uint32_t* count) {
    flush();
    pump();
    *count = static_cast<std::uint32_t>(queue.size());
    return true;
}

bool WebConsole::ReadConsoleInputA(HANDLE, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) {
    std::uint32_t n = 0;
    if (length > 0) {
        flush();
        pump();
        while (queue.empty()) {
            Sleep(inputPollMs);
            pump();
        }
        while (n < length && queue.pop(buffer[n])) ++n;
    }
    if (read) *read = n;
    return true;
}

bool WebConsole::PeekConsoleInputA(HANDLE, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) {
    pump();
    std::uint32_t n = 0;
    for (; n < length && n < queue.size(); ++n) buffer[n] = queue[n];
    if (read) *read = n;
    return true;
}

void WebConsole::WriteStandardOutput(const char* text, std::uint32_t length) { model.writeText(text, length, 0x07); }

void WebConsole::Sleep(std::uint32_t milliseconds) {
    flush();
    const std::uint64_t busy = nowMicros() - wokeMicros;
    lastFrameMicros = busy;
    if (busy > longestFrameMicros) longestFrameMicros = busy;
    frameMicrosTotal += busy;
    ++framesMeasured;
    // Back to the page (Asyncify unwinds here): xterm.js draws, keys arrive.
    emscripten_sleep(milliseconds);
    wokeMicros = nowMicros();
}

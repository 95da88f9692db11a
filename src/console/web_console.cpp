#include "console/web_console.h"

#include <emscripten.h>
#include <time.h>

#include <cstdlib>

#include "text/gbk_text.h"

// The page's side (web/asmquest.js sets Module.asmquestBridge).
EM_JS(void, bridgeWrite, (const char* bytes, int length),
      { Module.asmquestBridge.write(HEAPU8.slice(bytes, bytes + length)); });
EM_JS(int, bridgeTakeInput, (char* buffer, int capacity), {
    const taken = Module.asmquestBridge.takeInput(capacity);
    HEAPU8.set(taken, buffer);
    return taken.length;
});
// The length of the paste at the head of the page's input, -1 when keys come first.
EM_JS(int, bridgePasteLength, (), { return Module.asmquestBridge.pasteLength(); });
EM_JS(void, bridgeTakePaste, (char* buffer), { HEAPU8.set(Module.asmquestBridge.takePaste(), buffer); });
EM_JS(int, bridgeColumns, (), { return Module.asmquestBridge.columns(); });
EM_JS(int, bridgeRows, (), { return Module.asmquestBridge.rows(); });
EM_JS(void, bridgeQuit, (), { Module.asmquestBridge.quit(); });

namespace {

// What a terminal is put in for the game (terminal_modes.cpp): alternate
// screen, autowrap off, cursor hidden, any-motion mouse in SGR form, bracketed
// paste (xterm.js then wraps a paste in ESC [ 200 ~ ... ESC [ 201 ~).
constexpr char enterBytes[] = "\x1b[?1049h\x1b[?7l\x1b[?25l\x1b[?1003h\x1b[?1006h\x1b[?2004h";
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
    // xterm.js draws line-drawing characters itself, joined cell to cell.
    model.drawFramesAsLines(true);
    prepareGbkTables();
    frame.reserve(1 << 16);
    bridgeWrite(enterBytes, sizeof enterBytes - 1);
    queueSizeRecord();
    wokeMicros = nowMicros();
}

void WebConsole::flush() {
    renderFrame();
    if (!frame.empty()) bridgeWrite(frame.data(), static_cast<int>(frame.size()));
}

void WebConsole::quit() {
    flush();
    bridgeQuit();
    for (;;) emscripten_sleep(1000000);
}

void WebConsole::pollInput() {
    const int width = bridgeColumns(), height = bridgeRows();
    if (width != model.width() || height != model.height()) {
        // xterm.js reflows on resize: paint it all again.
        model.resize(width, height);
        queueSizeRecord();
    }
    char buffer[4096];
    for (;;) {
        for (int n; (n = bridgeTakeInput(buffer, sizeof buffer)) > 0;)
            decoder.feed(buffer, static_cast<std::size_t>(n), nowMicros() / 1000, decoded);
        decoder.expire(nowMicros() / 1000, decoded);
        takeDecoded();
        // A paste waits until the game has read every key typed before it,
        // since it replaces the clipboard a Ctrl+C among them may still fill.
        const int pasted = bridgePasteLength();
        if (pasted < 0 || !queue.empty()) break;
        std::string text(static_cast<std::size_t>(pasted), '\0');
        bridgeTakePaste(text.data());
        if (takePaste) takePaste(std::move(text));
        decoder.feed("\x16", 1, nowMicros() / 1000, decoded); // Ctrl+V, as typed
        takeDecoded();
    }
}

void WebConsole::takeDecoded() {
    INPUT_RECORD r;
    while (decoded.pop(r)) {
        if (r.EventType == KEY_EVENT && r.Event.KeyEvent.wVirtualKeyCode == VK_F10 && !(f10AsksFirst && f10AsksFirst()))
            quit();
        queue.push(r);
    }
}

// A page has no console control events; Ctrl+C is a key.
bool WebConsole::SetConsoleCtrlHandler(PHANDLER_ROUTINE, bool) { return true; }

void WebConsole::waitForInput() {
    Sleep(inputPollMs);
    pollInput();
}

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

// The Windows game for the wine smoke test. wine's terminal console passes no
// mouse input: the SGR mouse sequences the test types arrive as Alt+[ and
// plain characters. This host turns them back into the mouse records a real
// console would deliver, below the real Windows back end; nothing else differs
// from host_windows.cpp.
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "main/host.h"
#include "console/windows_console.h"

namespace {

constexpr std::uint16_t keyEvent = 0x0001, mouseEvent = 0x0002;
constexpr std::uint32_t altKeys = 0x0003;

struct MouseFromKeys : win32::ConsoleApi {
    win32::ConsoleApi& real = win32::win32ConsoleApi();
    std::deque<win32::InputRecord> ready;
    bool inSequence = false;
    std::string sequence; // after ESC [ <

    void take(const win32::InputRecord& r) {
        if (r.type != keyEvent) return ready.push_back(r);
        const char16_t c = r.character;
        if (!inSequence) {
            // wine reports the sequence's ESC as Alt held down: a real click has no key in it.
            if (r.virtualKeyCode == 0x12) return;
            if (r.keyDown && c == u'[' && (r.controlKeyState & altKeys)) {
                inSequence = true;
                sequence.clear();
                return;
            }
            return ready.push_back(r);
        }
        if (!r.keyDown) return;
        if (c != u'M' && c != u'm') {
            if (c > 0 && c < 0x80 && c != u'<') sequence += static_cast<char>(c); // not Shift or Alt alone
            return;
        }
        inSequence = false;
        int code = 0, x = 1, y = 1;
        if (std::sscanf(sequence.c_str(), "%d;%d;%d", &code, &x, &y) != 3) return;
        win32::InputRecord m;
        m.type = mouseEvent;
        m.position = {static_cast<std::int16_t>(x - 1), static_cast<std::int16_t>(y - 1)};
        const bool motion = (code & 32) != 0;
        m.buttonState = (c == u'M' && (code & 3) == 0 && (code & 35) != 35) ? 1 : 0;
        m.eventFlags = motion ? 0x0001 : 0;
        ready.push_back(m);
    }

    bool pendingInput(win32::Handle input, std::uint32_t& count) override {
        std::uint32_t n = 0;
        if (!real.pendingInput(input, n)) return false;
        count = n + static_cast<std::uint32_t>(ready.size());
        return true;
    }
    bool readInput(win32::Handle input, win32::InputRecord* records, std::uint32_t length, std::uint32_t& read) override {
        std::uint32_t n = 0;
        if (ready.empty() && real.pendingInput(input, n) && n > 0) {
            win32::InputRecord raw[16];
            std::uint32_t got = 0;
            if (real.readInput(input, raw, n < 16 ? n : 16, got))
                for (std::uint32_t i = 0; i < got; ++i) take(raw[i]);
        }
        read = 0;
        while (read < length && !ready.empty()) {
            records[read++] = ready.front();
            ready.pop_front();
        }
        return true;
    }
    bool waitForInput(win32::Handle input, std::uint32_t ms) override {
        return !ready.empty() || real.waitForInput(input, ms);
    }

    win32::Handle stdHandle(win32::StdHandle which) override { return real.stdHandle(which); }
    win32::Handle createScreenBuffer() override { return real.createScreenBuffer(); }
    bool setActiveScreenBuffer(win32::Handle o) override { return real.setActiveScreenBuffer(o); }
    bool setScreenBufferSize(win32::Handle o, win32::Cell size) override { return real.setScreenBufferSize(o, size); }
    bool setWindow(win32::Handle o, std::int16_t l, std::int16_t t, std::int16_t r, std::int16_t b) override {
        return real.setWindow(o, l, t, r, b);
    }
    void closeHandle(win32::Handle h) override { real.closeHandle(h); }
    bool screenBufferInfo(win32::Handle o, win32::BufferInfo& i) override { return real.screenBufferInfo(o, i); }
    bool writeCharacters(win32::Handle o, const char16_t* t, std::uint32_t n, win32::Cell at) override {
        return real.writeCharacters(o, t, n, at);
    }
    bool fillAttribute(win32::Handle o, std::uint16_t a, std::uint32_t n, win32::Cell at) override {
        return real.fillAttribute(o, a, n, at);
    }
    bool fillCharacter(win32::Handle o, char16_t c, std::uint32_t n, win32::Cell at) override {
        return real.fillCharacter(o, c, n, at);
    }
    bool setCursorPosition(win32::Handle o, win32::Cell at) override { return real.setCursorPosition(o, at); }
    bool cursorInfo(win32::Handle o, std::uint32_t& s, bool& v) override { return real.cursorInfo(o, s, v); }
    bool setCursorInfo(win32::Handle o, std::uint32_t s, bool v) override { return real.setCursorInfo(o, s, v); }
    bool mode(win32::Handle i, std::uint32_t& m) override { return real.mode(i, m); }
    bool setMode(win32::Handle i, std::uint32_t m) override { return real.setMode(i, m); }
    std::uint32_t inputCodePage() override { return real.inputCodePage(); }
    std::uint32_t outputCodePage() override { return real.outputCodePage(); }
    bool setCodePages(std::uint32_t i, std::uint32_t o) override { return real.setCodePages(i, o); }
    bool setControlHandler(bool (*f)(win32::ControlEvent)) override { return real.setControlHandler(f); }
    void writeText(win32::Handle o, const char16_t* t, std::uint32_t n) override { real.writeText(o, t, n); }
    void sleep(std::uint32_t ms) override { real.sleep(ms); }
};

void restoreConsole() { windowsConsole().restore(); }

} // namespace

WindowsConsole& windowsConsole() {
    static WindowsConsole* instance = [] {
        auto* con = new WindowsConsole(*new MouseFromKeys);
        std::atexit(restoreConsole);
        return con;
    }();
    return *instance;
}

ConsolePlatform& console() { return windowsConsole(); }

bool hostKeepsFiles() { return windowsConsole().isConsole(); }

bool hostConsoleReady() { return windowsConsole().isConsole(); }

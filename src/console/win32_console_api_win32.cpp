// The real console functions behind win32::ConsoleApi: one call each.
#include <windows.h>

#include <atomic>

#include "console/win32_console_api.h"

namespace {

using namespace win32;

COORD coord(Cell c) { return COORD{c.x, c.y}; }
Cell cell(COORD c) { return Cell{c.X, c.Y}; }

std::atomic<bool (*)(ControlEvent)> controlCallback{nullptr};
// The system ends the process about 5 s after a close event, or as soon as the
// handler returns: wait here while the main thread exits the program itself.
constexpr DWORD closeWaitMilliseconds = 4500;

BOOL WINAPI systemHandler(DWORD type) {
    ControlEvent event = ControlEvent::other;
    if (type == CTRL_C_EVENT) event = ControlEvent::interrupt;
    else if (type == CTRL_BREAK_EVENT) event = ControlEvent::breakKey;
    else if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) event = ControlEvent::close;
    bool (*callback)(ControlEvent) = controlCallback.load();
    const bool handled = callback && callback(event);
    if (handled && event == ControlEvent::close) Sleep(closeWaitMilliseconds);
    return handled ? TRUE : FALSE;
}

struct RealConsole final : ConsoleApi {
    HANDLE timer = nullptr;

    Handle stdHandle(StdHandle which) override {
        HANDLE h = GetStdHandle(which == StdHandle::input ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
        return h == INVALID_HANDLE_VALUE ? nullptr : h;
    }
    Handle createScreenBuffer() override {
        HANDLE h = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             CONSOLE_TEXTMODE_BUFFER, nullptr);
        return h == INVALID_HANDLE_VALUE ? nullptr : h;
    }
    bool setActiveScreenBuffer(Handle output) override { return SetConsoleActiveScreenBuffer(output); }
    bool setScreenBufferSize(Handle output, Cell size) override { return SetConsoleScreenBufferSize(output, coord(size)); }
    bool setWindow(Handle output, std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom) override {
        const SMALL_RECT window{left, top, right, bottom};
        return SetConsoleWindowInfo(output, TRUE, &window);
    }
    void closeHandle(Handle handle) override { CloseHandle(handle); }
    bool screenBufferInfo(Handle output, BufferInfo& info) override {
        CONSOLE_SCREEN_BUFFER_INFO b;
        if (!GetConsoleScreenBufferInfo(output, &b)) return false;
        info.size = cell(b.dwSize);
        info.cursor = cell(b.dwCursorPosition);
        info.attributes = b.wAttributes;
        info.left = b.srWindow.Left, info.top = b.srWindow.Top, info.right = b.srWindow.Right, info.bottom = b.srWindow.Bottom;
        info.maximumWindow = cell(b.dwMaximumWindowSize);
        return true;
    }
    bool writeCharacters(Handle output, const char16_t* text, std::uint32_t length, Cell at) override {
        DWORD written = 0;
        return WriteConsoleOutputCharacterW(output, reinterpret_cast<const wchar_t*>(text), length, coord(at), &written);
    }
    bool fillAttribute(Handle output, std::uint16_t attribute, std::uint32_t length, Cell at) override {
        DWORD written = 0;
        return FillConsoleOutputAttribute(output, attribute, length, coord(at), &written);
    }
    bool fillCharacter(Handle output, char16_t character, std::uint32_t length, Cell at) override {
        DWORD written = 0;
        return FillConsoleOutputCharacterW(output, static_cast<wchar_t>(character), length, coord(at), &written);
    }
    bool setCursorPosition(Handle output, Cell at) override { return SetConsoleCursorPosition(output, coord(at)); }
    bool cursorInfo(Handle output, std::uint32_t& size, bool& visible) override {
        CONSOLE_CURSOR_INFO info;
        if (!GetConsoleCursorInfo(output, &info)) return false;
        size = info.dwSize;
        visible = info.bVisible != 0;
        return true;
    }
    bool setCursorInfo(Handle output, std::uint32_t size, bool visible) override {
        CONSOLE_CURSOR_INFO info{size, visible ? TRUE : FALSE};
        return SetConsoleCursorInfo(output, &info);
    }
    bool mode(Handle input, std::uint32_t& mode) override {
        DWORD m = 0;
        if (!GetConsoleMode(input, &m)) return false;
        mode = m;
        return true;
    }
    bool setMode(Handle input, std::uint32_t mode) override { return SetConsoleMode(input, mode); }
    std::uint32_t inputCodePage() override { return GetConsoleCP(); }
    std::uint32_t outputCodePage() override { return GetConsoleOutputCP(); }
    bool setCodePages(std::uint32_t input, std::uint32_t output) override {
        const bool a = SetConsoleCP(input);
        const bool b = SetConsoleOutputCP(output);
        return a && b;
    }
    bool setControlHandler(bool (*onEvent)(ControlEvent)) override {
        if (!onEvent) return SetConsoleCtrlHandler(systemHandler, FALSE);
        controlCallback.store(onEvent);
        // Ctrl+C is also switched off at the source, for processes the console would otherwise signal.
        SetConsoleCtrlHandler(nullptr, TRUE);
        return SetConsoleCtrlHandler(systemHandler, TRUE);
    }
    bool pendingInput(Handle input, std::uint32_t& count) override {
        DWORD n = 0;
        if (!GetNumberOfConsoleInputEvents(input, &n)) return false;
        count = n;
        return true;
    }
    bool waitForInput(Handle input, std::uint32_t milliseconds) override {
        return WaitForSingleObject(input, milliseconds) == WAIT_OBJECT_0;
    }
    bool readInput(Handle input, InputRecord* records, std::uint32_t length, std::uint32_t& read) override {
        INPUT_RECORD buffer[16];
        DWORD n = 0;
        if (length > 16) length = 16;
        if (!ReadConsoleInputW(input, buffer, length, &n)) return false;
        for (DWORD i = 0; i < n; ++i) {
            const INPUT_RECORD& r = buffer[i];
            InputRecord& out = records[i];
            out = InputRecord{};
            out.type = r.EventType;
            if (r.EventType == KEY_EVENT) {
                const KEY_EVENT_RECORD& k = r.Event.KeyEvent;
                out.keyDown = k.bKeyDown != 0;
                out.repeatCount = k.wRepeatCount;
                out.virtualKeyCode = k.wVirtualKeyCode;
                out.virtualScanCode = k.wVirtualScanCode;
                out.character = static_cast<char16_t>(k.uChar.UnicodeChar);
                out.controlKeyState = k.dwControlKeyState;
            } else if (r.EventType == MOUSE_EVENT) {
                const MOUSE_EVENT_RECORD& m = r.Event.MouseEvent;
                out.position = cell(m.dwMousePosition);
                out.buttonState = m.dwButtonState;
                out.controlKeyState = m.dwControlKeyState;
                out.eventFlags = m.dwEventFlags;
            } else if (r.EventType == WINDOW_BUFFER_SIZE_EVENT) {
                out.size = cell(r.Event.WindowBufferSizeEvent.dwSize);
            }
        }
        read = n;
        return true;
    }
    void writeText(Handle out, const char16_t* text, std::uint32_t length) override {
        DWORD written = 0;
        if (!WriteConsoleW(out, text, length, &written, nullptr)) {
            // Not a console (redirected): the text as GBK bytes, as printf would write it.
            char bytes[4096];
            const int n = WideCharToMultiByte(936, 0, reinterpret_cast<const wchar_t*>(text), static_cast<int>(length),
                                              bytes, sizeof bytes, nullptr, nullptr);
            if (n > 0) WriteFile(out, bytes, static_cast<DWORD>(n), &written, nullptr);
        }
    }
    // A high-resolution timer where the system has one: Sleep alone rounds up
    // to the 15.6 ms clock tick, too coarse for 60 frames a second.
    void sleep(std::uint32_t milliseconds) override {
        if (!timer) timer = CreateWaitableTimerExW(nullptr, nullptr, 0x00000002 /* HIGH_RESOLUTION */, TIMER_ALL_ACCESS);
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000;
        if (timer && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
            WaitForSingleObject(timer, INFINITE);
        } else {
            Sleep(milliseconds);
        }
    }
};

} // namespace

ConsoleApi& win32::win32ConsoleApi() {
    static RealConsole* instance = new RealConsole; // never destroyed: used until the process ends
    return *instance;
}

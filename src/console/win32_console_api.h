// The Windows console functions the Windows back end calls, in the wide
// (UTF-16) forms, with types of their own so that neither <windows.h> nor
// console/platform.h has to see the other. The real functions stand behind
// win32ConsoleApi() (src/console/win32_console_api_win32.cpp, Windows only); tests
// put a recording implementation in its place, on Linux as under wine.
#pragma once
#include <cstdint>

namespace win32 {

using Handle = void*;

struct Cell {
    std::int16_t x = 0, y = 0;
};

struct BufferInfo {
    Cell size, cursor;
    std::uint16_t attributes = 0;
    std::int16_t left = 0, top = 0, right = 0, bottom = 0;
    Cell maximumWindow;
};

// The fields of a wide INPUT_RECORD the game uses; `type` is its EventType.
struct InputRecord {
    std::uint16_t type = 0;
    // KEY_EVENT
    bool keyDown = false;
    std::uint16_t repeatCount = 0, virtualKeyCode = 0, virtualScanCode = 0;
    char16_t character = 0;
    std::uint32_t controlKeyState = 0;
    // MOUSE_EVENT (controlKeyState as above)
    Cell position;
    std::uint32_t buttonState = 0, eventFlags = 0;
    // WINDOW_BUFFER_SIZE_EVENT
    Cell size;
};

enum class StdHandle { input, output };

// One console control event, as the handler thread sees it.
enum class ControlEvent { interrupt, breakKey, close, other };

class ConsoleApi {
public:
    virtual ~ConsoleApi() = default;
    virtual Handle stdHandle(StdHandle which) = 0; // nullptr when there is none
    // A screen buffer of the game's own (nullptr when none could be made), shown
    // instead of the console's; given back at exit.
    virtual Handle createScreenBuffer() = 0;
    virtual bool setActiveScreenBuffer(Handle output) = 0;
    virtual bool setScreenBufferSize(Handle output, Cell size) = 0;
    // The visible part of the buffer, in buffer cells (inclusive).
    virtual bool setWindow(Handle output, std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom) = 0;
    virtual void closeHandle(Handle handle) = 0;
    virtual bool screenBufferInfo(Handle output, BufferInfo& info) = 0;
    virtual bool writeCharacters(Handle output, const char16_t* text, std::uint32_t length, Cell at) = 0;
    virtual bool fillAttribute(Handle output, std::uint16_t attribute, std::uint32_t length, Cell at) = 0;
    virtual bool fillCharacter(Handle output, char16_t character, std::uint32_t length, Cell at) = 0;
    virtual bool setCursorPosition(Handle output, Cell at) = 0;
    virtual bool cursorInfo(Handle output, std::uint32_t& size, bool& visible) = 0;
    virtual bool setCursorInfo(Handle output, std::uint32_t size, bool visible) = 0;
    virtual bool mode(Handle input, std::uint32_t& mode) = 0;
    virtual bool setMode(Handle input, std::uint32_t mode) = 0;
    // Code pages of console input and output; set to 936 at start, restored at exit.
    virtual std::uint32_t inputCodePage() = 0;
    virtual std::uint32_t outputCodePage() = 0;
    virtual bool setCodePages(std::uint32_t input, std::uint32_t output) = 0;
    // Installs the process's one control handler; `onEvent` runs on the
    // system's handler thread and returns whether the event was handled.
    virtual bool setControlHandler(bool (*onEvent)(ControlEvent)) = 0;
    virtual bool pendingInput(Handle input, std::uint32_t& count) = 0;
    // Waits up to `milliseconds` for input; true when some is queued.
    virtual bool waitForInput(Handle input, std::uint32_t milliseconds) = 0;
    virtual bool readInput(Handle input, InputRecord* records, std::uint32_t length, std::uint32_t& read) = 0;
    // Text at the cursor of `output` (the size prompt).
    virtual void writeText(Handle output, const char16_t* text, std::uint32_t length) = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;
};

// The real console of this process (Windows builds only).
ConsoleApi& win32ConsoleApi();

} // namespace win32

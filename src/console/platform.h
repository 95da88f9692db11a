// The console operations the toolkit and the frame loop use, with the record
// types they exchange. Three implementations stand behind it: the Linux
// terminal (src/console/terminal_*), a recording fake for tests and a null console
// for headless tools. Each executable supplies console() in a host_*.cpp file.
//
//   ConsolePlatform& con = console();
//   HANDLE out = con.GetStdHandle(STD_OUTPUT_HANDLE);
//   con.WriteConsoleOutputCharacterA(out, "abc", 3, {0, 0}, nullptr);
//   con.FillConsoleOutputAttribute(out, 0x0F, 3, {0, 0}, nullptr);
#pragma once
#include <cstdint>
#include <cstdlib>

using HANDLE = std::intptr_t;
inline constexpr HANDLE INVALID_HANDLE_VALUE = -1;
inline constexpr std::int32_t STD_INPUT_HANDLE = -10;
inline constexpr std::int32_t STD_OUTPUT_HANDLE = -11;

struct COORD {
    std::int16_t X = 0;
    std::int16_t Y = 0;
};

struct SMALL_RECT {
    std::int16_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct CONSOLE_SCREEN_BUFFER_INFO {
    COORD dwSize;
    COORD dwCursorPosition;
    std::uint16_t wAttributes = 0;
    SMALL_RECT srWindow;
    COORD dwMaximumWindowSize;
};

struct CONSOLE_CURSOR_INFO {
    std::uint32_t dwSize = 25;
    std::int32_t bVisible = 1;
};

// Record types (EventType).
inline constexpr std::uint16_t KEY_EVENT = 0x0001;
inline constexpr std::uint16_t MOUSE_EVENT = 0x0002;
inline constexpr std::uint16_t WINDOW_BUFFER_SIZE_EVENT = 0x0004;
inline constexpr std::uint16_t MENU_EVENT = 0x0008;
inline constexpr std::uint16_t FOCUS_EVENT = 0x0010;

// dwControlKeyState bits.
inline constexpr std::uint32_t RIGHT_ALT_PRESSED = 0x0001;
inline constexpr std::uint32_t LEFT_ALT_PRESSED = 0x0002;
inline constexpr std::uint32_t RIGHT_CTRL_PRESSED = 0x0004;
inline constexpr std::uint32_t LEFT_CTRL_PRESSED = 0x0008;
inline constexpr std::uint32_t SHIFT_PRESSED = 0x0010;
inline constexpr std::uint32_t ENHANCED_KEY = 0x0100;
// The game's own marks on keys a terminal delivered inside a bracketed paste
// (bits the Windows console never sets): each pasted key is text, never a
// shortcut, and the first one of a paste begins it.
inline constexpr std::uint32_t PASTED_TEXT = 0x01000000;
inline constexpr std::uint32_t PASTE_BEGIN = 0x02000000;

// dwButtonState bits and dwEventFlags values of mouse records.
inline constexpr std::uint32_t FROM_LEFT_1ST_BUTTON_PRESSED = 0x0001;
inline constexpr std::uint32_t RIGHTMOST_BUTTON_PRESSED = 0x0002;
inline constexpr std::uint32_t FROM_LEFT_2ND_BUTTON_PRESSED = 0x0004;
inline constexpr std::uint32_t MOUSE_MOVED = 0x0001;
inline constexpr std::uint32_t DOUBLE_CLICK = 0x0002;
inline constexpr std::uint32_t MOUSE_WHEELED = 0x0004;

// Virtual-key codes the game and the decoder name.
inline constexpr std::uint16_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                               VK_CONTROL = 0x11, VK_MENU = 0x12, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
                               VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24,
                               VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28,
                               VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_F1 = 0x70, VK_F10 = 0x79,
                               VK_F12 = 0x7B;

// Console input modes.
inline constexpr std::uint32_t ENABLE_PROCESSED_INPUT = 0x0001;
inline constexpr std::uint32_t ENABLE_LINE_INPUT = 0x0002;
inline constexpr std::uint32_t ENABLE_ECHO_INPUT = 0x0004;
inline constexpr std::uint32_t ENABLE_WINDOW_INPUT = 0x0008;
inline constexpr std::uint32_t ENABLE_MOUSE_INPUT = 0x0010;
inline constexpr std::uint32_t ENABLE_INSERT_MODE = 0x0020;
inline constexpr std::uint32_t ENABLE_QUICK_EDIT_MODE = 0x0040;
inline constexpr std::uint32_t ENABLE_EXTENDED_FLAGS = 0x0080;

// Control events passed to a control handler.
inline constexpr std::uint32_t CTRL_C_EVENT = 0;
inline constexpr std::uint32_t CTRL_BREAK_EVENT = 1;
inline constexpr std::uint32_t CTRL_CLOSE_EVENT = 2;

struct KEY_EVENT_RECORD {
    std::int32_t bKeyDown = 0;
    std::uint16_t wRepeatCount = 0;
    std::uint16_t wVirtualKeyCode = 0;
    std::uint16_t wVirtualScanCode = 0;
    union {
        std::uint16_t UnicodeChar;
        char AsciiChar;
    } uChar{0};
    std::uint32_t dwControlKeyState = 0;
};

struct MOUSE_EVENT_RECORD {
    COORD dwMousePosition;
    std::uint32_t dwButtonState = 0;
    std::uint32_t dwControlKeyState = 0;
    std::uint32_t dwEventFlags = 0;
};

struct WINDOW_BUFFER_SIZE_RECORD {
    COORD dwSize;
};

struct INPUT_RECORD {
    std::uint16_t EventType = 0;
    union {
        KEY_EVENT_RECORD KeyEvent;
        MOUSE_EVENT_RECORD MouseEvent;
        WINDOW_BUFFER_SIZE_RECORD WindowBufferSizeEvent;
    } Event{KEY_EVENT_RECORD{}};
};
using _INPUT_RECORD = INPUT_RECORD;

// Key records as the console makes them: key down, repeat count 1.
inline INPUT_RECORD makeKeyRecord(std::uint16_t vk, std::uint8_t ch, std::uint32_t control = 0) {
    INPUT_RECORD r;
    r.EventType = KEY_EVENT;
    r.Event.KeyEvent = KEY_EVENT_RECORD{};
    r.Event.KeyEvent.bKeyDown = 1;
    r.Event.KeyEvent.wRepeatCount = 1;
    r.Event.KeyEvent.wVirtualKeyCode = vk;
    r.Event.KeyEvent.uChar.AsciiChar = static_cast<char>(ch);
    r.Event.KeyEvent.dwControlKeyState = control;
    return r;
}

inline INPUT_RECORD makeMouseRecord(int x, int y, std::uint32_t buttons, std::uint32_t flags = 0) {
    INPUT_RECORD r;
    r.EventType = MOUSE_EVENT;
    r.Event.MouseEvent = MOUSE_EVENT_RECORD{};
    r.Event.MouseEvent.dwMousePosition = {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
    r.Event.MouseEvent.dwButtonState = buttons;
    r.Event.MouseEvent.dwEventFlags = flags;
    return r;
}

using PHANDLER_ROUTINE = int (*)(std::uint32_t ctrlType);

// The console operations, named and shaped as the Windows console API so that
// the toolkit reads like the console code it models. Results follow the API:
// true on success; "written" and "read" counts may be null.
class ConsolePlatform {
public:
    virtual ~ConsolePlatform() = default;
    virtual HANDLE GetStdHandle(std::int32_t which) = 0;
    virtual bool GetConsoleScreenBufferInfo(HANDLE output, CONSOLE_SCREEN_BUFFER_INFO* info) = 0;
    virtual bool WriteConsoleOutputCharacterA(HANDLE output, const char* text, std::uint32_t length,
                                              COORD start, std::uint32_t* written) = 0;
    virtual bool FillConsoleOutputAttribute(HANDLE output, std::uint16_t attribute, std::uint32_t length,
                                            COORD start, std::uint32_t* written) = 0;
    virtual bool FillConsoleOutputCharacterA(HANDLE output, char character, std::uint32_t length,
                                             COORD start, std::uint32_t* written) = 0;
    virtual bool SetConsoleCursorPosition(HANDLE output, COORD position) = 0;
    virtual bool GetConsoleCursorInfo(HANDLE output, CONSOLE_CURSOR_INFO* info) = 0;
    virtual bool SetConsoleCursorInfo(HANDLE output, const CONSOLE_CURSOR_INFO* info) = 0;
    virtual bool GetConsoleMode(HANDLE input, std::uint32_t* mode) = 0;
    virtual bool SetConsoleMode(HANDLE input, std::uint32_t mode) = 0;
    virtual bool SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, bool add) = 0;
    virtual bool GetNumberOfConsoleInputEvents(HANDLE input, std::uint32_t* count) = 0;
    // Waits for a record when none is queued, as the console does.
    virtual bool ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, std::uint32_t length,
                                   std::uint32_t* read) = 0;
    // Copies queued records without taking them and never waits. A console
    // that cannot look ahead reports none, so its readers take one at a time.
    virtual bool PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) {
        (void)input, (void)buffer, (void)length;
        if (read) *read = 0;
        return false;
    }
    // The C library's printf to standard output (the size prompt): GBK text at the cursor.
    virtual void WriteStandardOutput(const char* text, std::uint32_t length) = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Ends the program as F10 does, the console given back as it was.
    virtual void Quit() { std::exit(0); }
};

// Asked by the consoles at F10: true queues the key for the game, which asks
// the player first (progress that could not be saved), instead of ending it.
extern bool (*f10AsksFirst)();

// The console of this executable (terminal, recording fake or null).
ConsolePlatform& console();

// Whether this executable keeps progress files and the trace log on disk. The
// game does; the headless judge and the unit tests (unless a test asks) do not.
bool hostKeepsFiles();

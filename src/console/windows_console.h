// The console operations on the real Windows console, as a thin pass-through
// to the console API (win32::ConsoleApi). What it adds:
// - text goes out as UTF-16: each GBK double-byte character of a write becomes
//   one UTF-16 character at its own two cells, every other byte one character,
//   so the console's code page does not decide what is shown;
// - input is read as UTF-16 and every character becomes its GBK bytes, one key
//   record per byte, as the terminal back end delivers them (WindowsInputDecoder);
// - the game draws into a screen buffer of its own, the size of the window (no
//   scrolling buffer under it), with quick edit and VT input off; the console's
//   buffer, modes and code pages come back on every way out;
// - after a size change it paints the whole picture again from what it wrote;
// - in Windows Terminal (narrowAmbiguous) a character of ambiguous width, drawn
//   there in one cell, gets a blank in its second cell so the row keeps its columns;
// - code page 936 for console input and output while the game runs;
// - F10 and closing the console window end the game the same way: the window's
//   close event is handed to the main thread, which ends the program with exit(0);
// - a write or attribute fill that would change no cell is not sent: the
//   renderer rewrites every double-byte character in each changed frame, and a
//   console call per character costs a round trip to the console host.
//
//   WindowsConsole con(win32::win32ConsoleApi());
//   if (!con.isConsole()) ...    // not started in a console
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "console/platform.h"
#include "console/win32_console_api.h"

// Turns the console's wide records into the records the game reads.
struct WindowsInputDecoder {
    static constexpr std::uint32_t maxRecords = 32; // per wide record
    // Whether the last key-down (other than a modifier's) carried no character
    // and no key-up without one came since: an input method delivers the
    // finished character on the key-up. A flag rather than a key code: the console sends
    // typed or pasted text as key-down and key-up pairs with key 0, both
    // carrying the character, and only the key-down counts then.
    bool downWithoutCharacter = false;
    // Decodes one record into out[0..n), returns n.
    std::uint32_t decode(const win32::InputRecord& in, INPUT_RECORD* out);
};

class WindowsConsole : public ConsolePlatform {
public:
    explicit WindowsConsole(win32::ConsoleApi& api);
    ~WindowsConsole() override;
    WindowsConsole(const WindowsConsole&) = delete;
    WindowsConsole& operator=(const WindowsConsole&) = delete;

    // Whether standard input and output are a console.
    bool isConsole();
    // Gives the console its screen buffer, input mode and code pages back (also
    // done at exit). Safe to call more than once.
    void restore();
    // Windows Terminal: “ ” … — · and the like take one cell there.
    bool narrowAmbiguous = false;
    // F10 ends the program unless this is cleared (tests); the key is then queued.
    bool exitOnF10 = true;
    // Called from the system's control handler thread.
    static bool onControlEvent(win32::ControlEvent event);
    // Whether the console window asked to close (tests read it; the game just ends).
    static bool closeRequested();

    HANDLE GetStdHandle(std::int32_t which) override;
    bool GetConsoleScreenBufferInfo(HANDLE output, CONSOLE_SCREEN_BUFFER_INFO* info) override;
    bool WriteConsoleOutputCharacterA(HANDLE output, const char* text, std::uint32_t length, COORD start,
                                      std::uint32_t* written) override;
    bool FillConsoleOutputAttribute(HANDLE output, std::uint16_t attribute, std::uint32_t length, COORD start,
                                    std::uint32_t* written) override;
    bool FillConsoleOutputCharacterA(HANDLE output, char character, std::uint32_t length, COORD start,
                                     std::uint32_t* written) override;
    bool SetConsoleCursorPosition(HANDLE output, COORD position) override;
    bool GetConsoleCursorInfo(HANDLE output, CONSOLE_CURSOR_INFO* info) override;
    bool SetConsoleCursorInfo(HANDLE output, const CONSOLE_CURSOR_INFO* info) override;
    bool GetConsoleMode(HANDLE input, std::uint32_t* mode) override;
    bool SetConsoleMode(HANDLE input, std::uint32_t mode) override;
    bool SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, bool add) override;
    bool GetNumberOfConsoleInputEvents(HANDLE input, std::uint32_t* count) override;
    bool ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) override;
    void WriteStandardOutput(const char* text, std::uint32_t length) override;
    void Sleep(std::uint32_t milliseconds) override;

private:
    // Takes in every record the console has queued (as long as there is room).
    bool pump(HANDLE input);
    void push(const INPUT_RECORD& record);
    void quitIfClosing();
    [[noreturn]] void quit();
    // GBK bytes to UTF-16 in `wide`, one unit per cell; returns the count.
    std::uint32_t widen(const char* text, std::uint32_t length);
    // What the console is known to show, per cell of the screen buffer (0: unknown).
    bool shown(std::uint32_t cell, char16_t character) const;
    void forgetShown();
    void followBufferSize(win32::Handle output, int width, int height);
    void repaint(win32::Handle output);
    // Keeps the game's buffer exactly the size of the window, its top row at the top.
    void fitBufferToWindow(win32::Handle output, win32::BufferInfo& info);
    bool twoCells(char16_t character) const;

    win32::ConsoleApi& api;
    win32::Handle input = nullptr, original = nullptr, own = nullptr;
    std::uint32_t savedMode = 0, savedCursorSize = 25;
    bool modeSaved = false, cursorSaved = false, savedCursorVisible = true;
    bool codePagesSet = false;
    std::uint32_t savedInputCodePage = 0, savedOutputCodePage = 0;
    WindowsInputDecoder decoder;
    std::array<INPUT_RECORD, 1024> queue{};
    std::uint32_t queueHead = 0, queueSize = 0;
    std::array<char16_t, 2048> wide{};
    int shownWidth = 0, shownHeight = 0;
    // What the game wrote, per cell (0: unknown); a double-width character's second cell holds 0xFFFF.
    std::vector<char16_t> shownCharacters;
    std::vector<std::uint16_t> shownAttributes; // 0xFFFF: unknown
};

// The console of the Windows game executable (src/main/host_windows.cpp).
WindowsConsole& windowsConsole();

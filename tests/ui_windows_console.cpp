// The Windows back end at the level of the console API it calls: a whole game
// frame replayed onto it must show the same screen, double-width characters in
// their two cells; Windows input records become the records the game reads.
// Runs on Linux (GBK tables) and under wine (code page 936 of the system).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#ifndef _WIN32
#include <locale.h>
#include <wchar.h>
#endif

#include "game/panels.h"
#include "game_support.h"
#include "console/ambiguous_width.h"
#include "console/console_screen.h"
#include "text/gbk_wide.h"
#include "console/windows_console.h"

namespace {

using win32::Cell;

// A console that records the calls it gets and keeps the cells they change,
// a character GBK writes in two bytes taking two cells, as the console does with code page 936.
struct RecordingApi : win32::ConsoleApi {
    static constexpr int width = 170, height = 45; // the window at start; rows compare this much
    static constexpr int storedWidth = 200, storedHeight = 60;
    Cell window{width, height}, buffer{width, 300}; // the console's own buffer scrolls
    struct Screen {
        char16_t character = u' ';
        bool trailing = false; // second cell of a double-width character
        std::uint16_t attribute = 0x07;
    };
    std::vector<Screen> cells = std::vector<Screen>(storedWidth * storedHeight);
    std::vector<std::string> calls;
    std::deque<win32::InputRecord> input;
    std::uint32_t inputPage = 437, outputPage = 850, consoleMode = 0x3F7; // quick edit and VT input on
    bool (*handler)(win32::ControlEvent) = nullptr;

    void log(const char* format, int a, int b, int c, int d = 0) {
        char line[96];
        std::snprintf(line, sizeof line, format, a, b, c, d);
        calls.emplace_back(line);
    }
    static bool wide(char16_t c) {
        std::uint8_t bytes[2];
        return gbkFromWide(c, bytes) == 2;
    }
    Screen& at(int x, int y) { return cells[static_cast<std::size_t>(y * storedWidth + x)]; }

    win32::Handle stdHandle(win32::StdHandle which) override {
        return reinterpret_cast<win32::Handle>(which == win32::StdHandle::input ? 3 : 7);
    }
    win32::Handle createScreenBuffer() override {
        calls.emplace_back("screen buffer");
        return reinterpret_cast<win32::Handle>(9);
    }
    bool setActiveScreenBuffer(win32::Handle h) override {
        log("active %d", static_cast<int>(reinterpret_cast<std::intptr_t>(h)), 0, 0);
        return true;
    }
    bool setScreenBufferSize(win32::Handle, Cell size) override {
        log("buffer size %d,%d", size.x, size.y, 0);
        buffer = size;
        return true;
    }
    bool setWindow(win32::Handle, std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom) override {
        log("window %d,%d %d,%d", left, top, right, bottom);
        return true;
    }
    void closeHandle(win32::Handle h) override { log("close %d", static_cast<int>(reinterpret_cast<std::intptr_t>(h)), 0, 0); }
    bool screenBufferInfo(win32::Handle, win32::BufferInfo& info) override {
        info = win32::BufferInfo{};
        info.size = buffer;
        info.attributes = 0x07;
        info.right = static_cast<std::int16_t>(window.x - 1), info.bottom = static_cast<std::int16_t>(window.y - 1);
        return true;
    }
    bool writeCharacters(win32::Handle, const char16_t* text, std::uint32_t length, Cell start) override {
        std::string line = "write " + std::to_string(start.x) + "," + std::to_string(start.y);
        int x = start.x;
        for (std::uint32_t i = 0; i < length && x < storedWidth; ++i) {
            char hex[8];
            std::snprintf(hex, sizeof hex, " %04X", static_cast<unsigned>(text[i]));
            line += hex;
            at(x, start.y) = {text[i], false, at(x, start.y).attribute};
            if (wide(text[i]) && x + 1 < storedWidth) at(++x, start.y).trailing = true;
            ++x;
        }
        calls.push_back(line);
        return true;
    }
    bool fillAttribute(win32::Handle, std::uint16_t attribute, std::uint32_t length, Cell start) override {
        log("attribute %d,%d %02X x%d", start.x, start.y, attribute, static_cast<int>(length));
        for (std::uint32_t i = 0; i < length; ++i) {
            const int cell = start.y * storedWidth + start.x + static_cast<int>(i);
            if (cell < storedWidth * storedHeight) cells[static_cast<std::size_t>(cell)].attribute = attribute;
        }
        return true;
    }
    bool fillCharacter(win32::Handle, char16_t character, std::uint32_t length, Cell start) override {
        log("fill %d,%d %04X x%d", start.x, start.y, character, static_cast<int>(length));
        return true;
    }
    bool setCursorPosition(win32::Handle, Cell c) override {
        log("cursor %d,%d", c.x, c.y, 0);
        return true;
    }
    bool cursorInfo(win32::Handle, std::uint32_t& size, bool& visible) override {
        size = 25, visible = true;
        return true;
    }
    bool setCursorInfo(win32::Handle, std::uint32_t size, bool visible) override {
        log("cursor info %d %d", static_cast<int>(size), visible, 0);
        return true;
    }
    bool mode(win32::Handle, std::uint32_t& m) override {
        m = consoleMode;
        return true;
    }
    bool setMode(win32::Handle, std::uint32_t m) override {
        log("mode %X", static_cast<int>(m), 0, 0);
        consoleMode = m;
        return true;
    }
    std::uint32_t inputCodePage() override { return inputPage; }
    std::uint32_t outputCodePage() override { return outputPage; }
    bool setCodePages(std::uint32_t in, std::uint32_t out) override {
        log("code pages %d %d", static_cast<int>(in), static_cast<int>(out), 0);
        inputPage = in, outputPage = out;
        return true;
    }
    bool setControlHandler(bool (*onEvent)(win32::ControlEvent)) override {
        handler = onEvent;
        return true;
    }
    bool pendingInput(win32::Handle, std::uint32_t& count) override {
        count = static_cast<std::uint32_t>(input.size());
        return true;
    }
    bool waitForInput(win32::Handle, std::uint32_t) override { return !input.empty(); }
    bool readInput(win32::Handle, win32::InputRecord* records, std::uint32_t length, std::uint32_t& read) override {
        read = 0;
        while (read < length && !input.empty()) {
            records[read++] = input.front();
            input.pop_front();
        }
        return true;
    }
    void writeText(win32::Handle h, const char16_t* text, std::uint32_t length) override {
        calls.push_back("text " + std::to_string(reinterpret_cast<std::intptr_t>(h)) + " " + std::to_string(length) +
                        (length ? " " + std::to_string(text[0]) : ""));
    }
    void sleep(std::uint32_t) override {}

    // The screen row as GBK bytes, the trailing cell of a wide character taken by its bytes.
    std::string row(int y) {
        std::string out;
        for (int x = 0; x < width; ++x) {
            const Screen& s = at(x, y);
            if (s.trailing) continue;
            std::uint8_t bytes[2];
            const int n = gbkFromWide(s.character, bytes);
            out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n > 0 ? n : 0));
            if (n <= 0) out += '?';
        }
        return out;
    }
};

win32::InputRecord key(std::uint16_t vk, char16_t ch, bool down = true, std::uint32_t control = 0, std::uint16_t repeat = 1) {
    win32::InputRecord r;
    r.type = KEY_EVENT;
    r.keyDown = down;
    r.repeatCount = repeat;
    r.virtualKeyCode = vk;
    r.character = ch;
    r.controlKeyState = control;
    return r;
}

win32::InputRecord mouse(int x, int y, std::uint32_t buttons, std::uint32_t flags) {
    win32::InputRecord r;
    r.type = MOUSE_EVENT;
    r.position = {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
    r.buttonState = buttons;
    r.eventFlags = flags;
    return r;
}

// Everything the back end delivers for the queued Windows records, one line per record.
std::vector<std::string> readAll(WindowsConsole& con) {
    std::vector<std::string> out;
    const HANDLE in = con.GetStdHandle(STD_INPUT_HANDLE);
    std::uint32_t pending = 0;
    while (con.GetNumberOfConsoleInputEvents(in, &pending) && pending > 0) {
        INPUT_RECORD r;
        std::uint32_t read = 0;
        con.ReadConsoleInputA(in, &r, 1, &read);
        char line[80];
        if (r.EventType == KEY_EVENT) {
            const KEY_EVENT_RECORD& k = r.Event.KeyEvent;
            std::snprintf(line, sizeof line, "key %02X %02X ctl %X n%u", k.wVirtualKeyCode,
                          static_cast<std::uint8_t>(k.uChar.AsciiChar), k.dwControlKeyState, k.wRepeatCount);
        } else if (r.EventType == MOUSE_EVENT) {
            const MOUSE_EVENT_RECORD& m = r.Event.MouseEvent;
            std::snprintf(line, sizeof line, "mouse %d,%d %08X %X", m.dwMousePosition.X, m.dwMousePosition.Y,
                          m.dwButtonState, m.dwEventFlags);
        } else {
            std::snprintf(line, sizeof line, "type %X", r.EventType);
        }
        out.emplace_back(line);
    }
    return out;
}

} // namespace

// The game's own first frames (bar, panels with Chinese titles and text) as
// the fake console received them, replayed onto the Windows back end.
TEST(WindowsConsole, AGameFrameShowsTheSameCellsWithDoubleWidthCharacters) {
    fakeConsole().resize(RecordingApi::width, RecordingApi::height); // the toolkit tests leave a small console
    freshProgram();
    fakeConsole().resize(RecordingApi::width, RecordingApi::height);
    runFrames(3);
    typeIntoEditor("a");
    RecordingApi api;
    WindowsConsole con(api);
    const HANDLE out = con.GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    con.GetConsoleScreenBufferInfo(out, &info);
    struct Counts {
        std::size_t writes = 0, pairs = 0, wideWrites = 0, oneCharacterWrites = 0;
    };
    // Replays the renderer's calls so far onto the back end, then forgets them.
    const auto replay = [&] {
        Counts n;
        api.calls.clear();
        for (const FakeConsole::Call& c : fakeConsole().calls) {
            if (c.name == "WriteConsoleOutputCharacterA") {
                con.WriteConsoleOutputCharacterA(out, c.text.data(), c.length, c.at, nullptr);
                ++n.writes;
                if (c.length == 2 && static_cast<std::uint8_t>(c.text[0]) >= 0x81) ++n.pairs;
            } else if (c.name == "FillConsoleOutputAttribute") {
                con.FillConsoleOutputAttribute(out, c.value, c.length, c.at, nullptr);
            }
        }
        for (const std::string& line : api.calls)
            if (line.rfind("write ", 0) == 0) {
                ++n.wideWrites;
                if (std::count(line.begin(), line.end(), ' ') == 2) ++n.oneCharacterWrites;
            }
        fakeConsole().calls.clear();
        return n;
    };
    const auto expectSameScreen = [&] {
        for (int y = 0; y < RecordingApi::height; ++y) {
            ASSERT_EQ(api.row(y), fakeConsole().row(y)) << "row " << y;
            for (int x = 0; x < RecordingApi::width; ++x)
                ASSERT_EQ(api.at(x, y).attribute, fakeConsole().cell(x, y).attribute) << x << "," << y;
        }
    };
    const Counts start = replay();
    ASSERT_GT(start.pairs, 40u); // the screen is full of Chinese text
    EXPECT_GT(start.oneCharacterWrites, 40u); // a double-byte character is one UTF-16 character
    expectSameScreen();
    // A typed letter: the renderer rewrites every double-byte character on
    // screen; the console gets the changed cells only.
    typeIntoEditor("b");
    const Counts typed = replay();
    EXPECT_GT(typed.pairs, 40u);
    EXPECT_LT(typed.wideWrites, 12u) << typed.wideWrites;
    expectSameScreen();
    // The window grows and the console, reflowing its buffer, loses the
    // picture: the game's buffer follows the window and gets it all again.
    std::fill(api.cells.begin(), api.cells.end(), RecordingApi::Screen{});
    api.window = {180, 50};
    CONSOLE_SCREEN_BUFFER_INFO grown;
    con.GetConsoleScreenBufferInfo(out, &grown);
    EXPECT_EQ(grown.dwSize.X, 180);
    EXPECT_EQ(grown.dwSize.Y, 50);
    expectSameScreen();
}

// Known calls: what each A-shaped call becomes.
TEST(WindowsConsole, OutputCallsBecomeWideCallsCellForCell) {
    RecordingApi api;
    {
        WindowsConsole con(api);
        const HANDLE out = con.GetStdHandle(STD_OUTPUT_HANDLE);
        CONSOLE_SCREEN_BUFFER_INFO info;
        con.GetConsoleScreenBufferInfo(out, &info);
        std::uint32_t written = 0;
        con.WriteConsoleOutputCharacterA(out, "\xB9\xD8", 2, {10, 3}, &written); // 关
        EXPECT_EQ(written, 2u);                                                  // bytes, as the A call counts
        con.FillConsoleOutputAttribute(out, 0x9F, 2, {10, 3}, nullptr);
        con.WriteConsoleOutputCharacterA(out, "ab\xB9", 3, {167, 4}, nullptr);   // a lead byte alone at the edge
        con.WriteConsoleOutputCharacterA(out, "\xA1\xA4\x80\xFF", 4, {0, 5}, nullptr); // ·, euro, a stray byte
        con.WriteConsoleOutputCharacterA(out, "\xB9\xD8", 2, {10, 3}, nullptr); // shown already: not sent
        con.FillConsoleOutputAttribute(out, 0x9F, 2, {10, 3}, nullptr);
        con.FillConsoleOutputCharacterA(out, ' ', 170 * 300, {0, 0}, nullptr);
        con.WriteConsoleOutputCharacterA(out, "\xB9\xD8", 2, {10, 3}, nullptr); // after a clear: sent
        con.narrowAmbiguous = true; // Windows Terminal: “ takes one cell there, a blank fills its second
        con.WriteConsoleOutputCharacterA(out, "\xA1\xB0", 2, {20, 6}, nullptr);
        con.WriteConsoleOutputCharacterA(out, "\xB9\xD8", 2, {22, 6}, nullptr); // 关 still fills two
        con.narrowAmbiguous = false;
        con.SetConsoleCursorPosition(out, {80, 16});
        CONSOLE_CURSOR_INFO cursor;
        con.GetConsoleCursorInfo(out, &cursor);
        cursor.bVisible = 0;
        con.SetConsoleCursorInfo(out, &cursor);
        con.WriteStandardOutput("\xC7\xEB", 2); // 请
    }
    // Quick edit and VT input off, a buffer of the game's own the size of the
    // window; the console's buffer, mode and code pages back at the end.
    const std::vector<std::string> expected = {
        "code pages 936 936", "mode 1B7", "screen buffer", "buffer size 170,45", "active 9", "write 10,3 5173", "attribute 10,3 9F x2", "write 167,4 0061 0062 003F",
        "write 0,5 00B7 20AC 003F", "fill 0,0 0020 x51000", "write 10,3 5173", "write 20,6 201C 0020", "write 22,6 5173",
        "cursor 80,16", "cursor info 25 0", "text 9 1 35831", "active 7", "close 9", "cursor info 25 1", "mode 3F7", "code pages 437 850"};
    EXPECT_EQ(api.calls, expected);
    EXPECT_EQ(api.at(10, 3).character, u'\u5173');
    EXPECT_TRUE(api.at(11, 3).trailing);
    EXPECT_EQ(api.at(11, 3).attribute, 0x9F);
}

// The characters padded in Windows Terminal are exactly the GBK double-byte
// characters a UTF-8 terminal measures one column wide.
TEST(WindowsConsole, AmbiguousWidthTableIsTheGbkTableMeasured) {
#ifdef _WIN32
    GTEST_SKIP() << "wcwidth is a Linux measure";
#else
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    ASSERT_NE(utf8, static_cast<locale_t>(0));
    const locale_t previous = uselocale(utf8);
    int narrow = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const char16_t c = wideFromGbkPair(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail));
            if (c == 0) continue;
            const bool oneColumn = wcwidth(static_cast<wchar_t>(c)) == 1;
            narrow += oneColumn;
            EXPECT_EQ(isAmbiguousWidthGbk(c), oneColumn) << std::hex << lead << " " << trail;
        }
    uselocale(previous);
    freelocale(utf8);
    EXPECT_EQ(narrow, 446);
#endif
}

TEST(WindowsConsole, InputRecordsBecomeGbkKeyRecordsOnePerByte) {
    RecordingApi api;
    WindowsConsole con(api);
    con.exitOnF10 = false;
    api.input = {
        key('A', u'a'), key('A', u'a', false),                  // key-ups carry nothing
        key(0xE7, u'\u4E2D'),                                   // 中 from an input method: D6 D0
        key('C', u'\u521B'),                                    // 创 (B4 B4): its low byte 1B is no Escape
        key(0xE5, 0), key('W', 0), key('W', u'\u6587', false),  // composing, then the character on the key-up: 文 CE C4
        key(0, u'\u52A0'), key(0, u'\u52A0', false),             // typed under wine, pasted, Windows Terminal: 加 once
        key('A', u'a'), key(VK_LEFT, 0, true, ENHANCED_KEY), key(VK_LEFT, 0, false, ENHANCED_KEY),
        key('A', u'a', false),                                  // a letter released after an arrow: still one
        key(0x12, 0, true, LEFT_ALT_PRESSED), key(0x62, 0, true, LEFT_ALT_PRESSED),
        key(0x62, 0, false, LEFT_ALT_PRESSED), key(0x12, u'\u6CD5', false), // Alt+keypad code: 法 B7 A8 on Alt's key-up
        key(0x10, 0, true, 0x10), key(0x10, 0, false),          // Shift alone: its key-down only
        key('X', u'x', true, 0, 3),                             // a held key: three records
        key('A', 1, true, LEFT_CTRL_PRESSED),                   // Ctrl+A
        key(0, u'\xD83D'), key(0, u'\xDE00'),                   // an emoji (two halves): not GBK, dropped
        key(VK_F10, 0), key(VK_LEFT, 0, true, ENHANCED_KEY),
        mouse(12, 7, 0x00000001 | 0x00780000, 0),               // stray high bits are masked off
        mouse(12, 7, 0xFF880000 | 0x2, MOUSE_WHEELED),          // the wheel keeps its distance
        mouse(3, 4, 0, MOUSE_MOVED),
    };
    win32::InputRecord size;
    size.type = WINDOW_BUFFER_SIZE_EVENT;
    size.size = {161, 33};
    api.input.push_back(size);
    win32::InputRecord focus;
    focus.type = FOCUS_EVENT;
    api.input.push_back(focus);
    const std::vector<std::string> expected = {
        "type 4", // the window's size, queued at start for the first frame
        "key 41 61 ctl 0 n1", "key E7 D6 ctl 0 n1", "key E7 D0 ctl 0 n1", "key 43 B4 ctl 0 n1", "key 43 B4 ctl 0 n1",
        "key 57 00 ctl 0 n1", "key 57 CE ctl 0 n1", "key 57 C4 ctl 0 n1", "key 00 BC ctl 0 n1", "key 00 D3 ctl 0 n1",
        "key 41 61 ctl 0 n1", "key 25 00 ctl 100 n1", "key 12 00 ctl 2 n1", "key 62 00 ctl 2 n1", "key 12 B7 ctl 0 n1",
        "key 12 A8 ctl 0 n1", "key 10 00 ctl 10 n1", "key 58 78 ctl 0 n1", "key 58 78 ctl 0 n1", "key 58 78 ctl 0 n1",
        "key 41 01 ctl 8 n1", "key 79 00 ctl 0 n1", "key 25 00 ctl 100 n1", "mouse 12,7 00000001 0",
        "mouse 12,7 FF880002 4", "mouse 3,4 00000000 1", "type 4", "type 10"};
    EXPECT_EQ(readAll(con), expected);
}

// While the game has something to ask first (progress not saved), F10 reaches
// it as a key instead of ending the program.
TEST(WindowsConsole, F10ReachesTheGameWhenItAsksFirst) {
    RecordingApi api;
    WindowsConsole con(api);
    f10AsksFirst = [] { return true; };
    api.input = {key(VK_F10, 0), key(VK_F10, 0, false)};
    const std::vector<std::string> expected = {"type 4", "key 79 00 ctl 0 n1"};
    EXPECT_EQ(readAll(con), expected);
    f10AsksFirst = nullptr;
}

// Ctrl+C and Ctrl+Break are handled (the game's routine is asked) and never end
// the game; closing the window makes the next console call end the program
// with status 0, as F10 does.
TEST(WindowsConsole, ControlEventsAndTheWindowClosing) {
    RecordingApi api;
    WindowsConsole con(api);
    con.SetConsoleCtrlHandler(nullptr, true);
    con.SetConsoleCtrlHandler(ctrlHandler, true);
    ASSERT_NE(api.handler, nullptr);
    EXPECT_TRUE(api.handler(win32::ControlEvent::interrupt));
    EXPECT_TRUE(api.handler(win32::ControlEvent::breakKey));
    EXPECT_FALSE(api.handler(win32::ControlEvent::other));
    EXPECT_FALSE(WindowsConsole::closeRequested());
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            api.handler(win32::ControlEvent::close);
            con.Sleep(16);
            std::_Exit(3); // not reached: the close ended the program
        },
        testing::ExitedWithCode(0), "");
    api.input = {key(VK_F10, 0)};
    EXPECT_EXIT(
        {
            std::uint32_t n = 0;
            con.GetNumberOfConsoleInputEvents(con.GetStdHandle(STD_INPUT_HANDLE), &n);
            std::_Exit(3);
        },
        testing::ExitedWithCode(0), "");
}

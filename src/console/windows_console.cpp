#include "console/windows_console.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "console/ambiguous_width.h"
#include "text/gbk_wide.h"

namespace {

constexpr std::uint32_t gbkCodePage = 936;
constexpr std::uint32_t buttonBits = 0x1F; // the five button flags of dwButtonState
constexpr std::uint16_t VK_PROCESSKEY = 0xE5;
constexpr std::uint32_t ENABLE_QUICK_EDIT_MODE = 0x0040, ENABLE_VIRTUAL_TERMINAL_INPUT = 0x0200;
// A click must not start a selection; a parent shell may have left VT input on,
// and keys would then arrive as escape sequences.
std::uint32_t withoutSelectionAndVt(std::uint32_t mode) {
    return (mode | ENABLE_EXTENDED_FLAGS) & ~(ENABLE_QUICK_EDIT_MODE | ENABLE_VIRTUAL_TERMINAL_INPUT);
}

// Shared with the control handler thread: it only sets the flag and reads the
// routine; the main thread does all the work at its next console call.
std::atomic<bool> closing{false};
std::atomic<PHANDLER_ROUTINE> gameHandler{nullptr};

win32::Handle toHandle(HANDLE h) { return reinterpret_cast<win32::Handle>(h); }
win32::Cell toCell(COORD c) { return {c.X, c.Y}; }
COORD toCoord(win32::Cell c) { return {c.x, c.y}; }

// Shift, Ctrl, Alt (also left and right) and Caps Lock: held around other keys.
bool isModifier(std::uint16_t vk) { return (vk >= 0x10 && vk <= 0x12) || vk == 0x14 || (vk >= 0xA0 && vk <= 0xA5); }

bool isLead(std::uint8_t b) { return b >= 0x81 && b <= 0xFE; }
bool isTrail(std::uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE); }

} // namespace

std::uint32_t WindowsInputDecoder::decode(const win32::InputRecord& in, INPUT_RECORD* out) {
    INPUT_RECORD r;
    r.EventType = in.type;
    if (in.type == MOUSE_EVENT) {
        r.Event.MouseEvent = MOUSE_EVENT_RECORD{};
        r.Event.MouseEvent.dwMousePosition = toCoord(in.position);
        // A wheel record keeps its signed distance in the high word, as the terminal back end sends it.
        const std::uint32_t keep = (in.eventFlags & MOUSE_WHEELED) ? 0xFFFF0000u | buttonBits : buttonBits;
        r.Event.MouseEvent.dwButtonState = in.buttonState & keep;
        r.Event.MouseEvent.dwControlKeyState = in.controlKeyState;
        r.Event.MouseEvent.dwEventFlags = in.eventFlags;
        out[0] = r;
        return 1;
    }
    if (in.type == WINDOW_BUFFER_SIZE_EVENT) {
        r.Event.WindowBufferSizeEvent = WINDOW_BUFFER_SIZE_RECORD{};
        r.Event.WindowBufferSizeEvent.dwSize = toCoord(in.size);
        out[0] = r;
        return 1;
    }
    if (in.type != KEY_EVENT) {
        out[0] = r; // focus and menu records: passed on, their content unused
        return 1;
    }
    if (in.virtualKeyCode == VK_PROCESSKEY) return 0; // the input method is still composing
    char16_t character = in.character;
    if (in.keyDown) {
        if (!isModifier(in.virtualKeyCode)) downWithoutCharacter = character == 0;
    } else {
        // Key-ups carry nothing the game uses, except a character whose key-down
        // came without it: that of the key-down just before, or of a modifier
        // (Alt after a code typed on the keypad), whose key-down never carries one.
        if (character == 0) {
            if (!isModifier(in.virtualKeyCode)) downWithoutCharacter = false;
            return 0;
        }
        const bool late = downWithoutCharacter || isModifier(in.virtualKeyCode);
        downWithoutCharacter = false;
        if (!late) return 0;
    }
    std::uint8_t bytes[2] = {0, 0};
    int n = 1;
    if (character >= 0x80) {
        n = gbkFromWide(character, bytes);
        if (n == 0) return 0; // not a GBK character: nothing the game could show
    } else {
        bytes[0] = static_cast<std::uint8_t>(character);
    }
    // A held key's repeats become separate records, each with a repeat count of 1 (as terminals send them).
    const std::uint32_t repeats = std::clamp<std::uint32_t>(in.repeatCount, 1, maxRecords / 2);
    std::uint32_t count = 0;
    for (std::uint32_t k = 0; k < repeats; ++k)
        for (int b = 0; b < n; ++b) {
            INPUT_RECORD key = makeKeyRecord(in.virtualKeyCode, bytes[b], in.controlKeyState);
            key.Event.KeyEvent.wVirtualScanCode = in.virtualScanCode;
            out[count++] = key;
        }
    return count;
}

WindowsConsole::WindowsConsole(win32::ConsoleApi& consoleApi) : api(consoleApi) {
    savedInputCodePage = api.inputCodePage();
    savedOutputCodePage = api.outputCodePage();
    codePagesSet = savedInputCodePage != 0 && api.setCodePages(gbkCodePage, gbkCodePage);
    input = api.stdHandle(win32::StdHandle::input);
    original = api.stdHandle(win32::StdHandle::output);
    if (input && api.mode(input, savedMode)) {
        modeSaved = true;
        api.setMode(input, withoutSelectionAndVt(savedMode));
    }
    win32::BufferInfo info;
    if (!original || !api.screenBufferInfo(original, info)) return;
    cursorSaved = api.cursorInfo(original, savedCursorSize, savedCursorVisible);
    // A buffer the size of the window: the wheel has nothing to scroll, and the
    // console's own buffer, with the shell's text, comes back untouched at exit.
    const win32::Cell window{static_cast<std::int16_t>(info.right - info.left + 1),
                             static_cast<std::int16_t>(info.bottom - info.top + 1)};
    own = api.createScreenBuffer();
    if (own && !(api.setScreenBufferSize(own, window) && api.setActiveScreenBuffer(own))) {
        api.closeHandle(own);
        own = nullptr;
    }
    // The first frame redraws everything and reads a record to do it: a size
    // record of the window waits for it, as the terminal back end queues one.
    INPUT_RECORD r;
    r.EventType = WINDOW_BUFFER_SIZE_EVENT;
    r.Event.WindowBufferSizeEvent = WINDOW_BUFFER_SIZE_RECORD{};
    r.Event.WindowBufferSizeEvent.dwSize = toCoord(window);
    push(r);
}

WindowsConsole::~WindowsConsole() { restore(); }

bool WindowsConsole::isConsole() {
    std::uint32_t mode = 0;
    win32::BufferInfo info;
    win32::Handle out = own ? own : original;
    return input && out && api.mode(input, mode) && api.screenBufferInfo(out, info);
}

void WindowsConsole::restore() {
    if (own) {
        api.setActiveScreenBuffer(original);
        api.closeHandle(own);
        own = nullptr;
    }
    if (cursorSaved) { // hidden there too when the game drew on the console's own buffer
        cursorSaved = false;
        api.setCursorInfo(original, savedCursorSize, savedCursorVisible);
    }
    if (modeSaved) {
        modeSaved = false;
        api.setMode(input, savedMode);
    }
    if (!codePagesSet) return;
    codePagesSet = false;
    api.setCodePages(savedInputCodePage, savedOutputCodePage);
}

bool WindowsConsole::onControlEvent(win32::ControlEvent event) {
    if (event == win32::ControlEvent::interrupt || event == win32::ControlEvent::breakKey) {
        if (PHANDLER_ROUTINE routine = gameHandler.load())
            routine(event == win32::ControlEvent::interrupt ? CTRL_C_EVENT : CTRL_BREAK_EVENT);
        return true; // never ends the game
    }
    if (event != win32::ControlEvent::close) return false;
    // The main thread ends the program at its next console call (at least once
    // a frame), after the step it is in, so a save in progress completes.
    closing.store(true);
    return true;
}

bool WindowsConsole::closeRequested() { return closing.load(); }

void WindowsConsole::quitIfClosing() {
    if (closing.load()) quit();
}

void WindowsConsole::quit() {
    restore();
    std::exit(0);
}

std::uint32_t WindowsConsole::widen(const char* text, std::uint32_t length) {
    std::uint32_t n = 0;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text);
    for (std::uint32_t i = 0; i < length && n + 2 <= wide.size(); ++i) {
        if (isLead(bytes[i]) && i + 1 < length && isTrail(bytes[i + 1])) {
            const char16_t c = wideFromGbkPair(bytes[i], bytes[i + 1]);
            // An unassigned pair still covers its two cells.
            if (c) {
                wide[n++] = c;
                if (narrowAmbiguous && isAmbiguousWidthGbk(c)) wide[n++] = u' '; // its second cell
            } else {
                wide[n++] = u'?';
                wide[n++] = u'?';
            }
            ++i;
        } else {
            const char16_t c = wideFromGbkByte(bytes[i]);
            wide[n++] = c ? c : u'?';
        }
    }
    return n;
}

bool WindowsConsole::twoCells(char16_t c) const {
    return c >= 0x80 && c != u'\u20AC' && c != u'?' && !(narrowAmbiguous && isAmbiguousWidthGbk(c));
}

// A new size may have moved, cut or cleared what the console shows (the
// console reflows its buffer): keep what the game wrote where it stays on
// screen and paint it all again.
void WindowsConsole::followBufferSize(win32::Handle output, int width, int height) {
    if (width == shownWidth && height == shownHeight) return;
    width = std::max(width, 0), height = std::max(height, 0);
    std::vector<char16_t> characters(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    std::vector<std::uint16_t> attributes(characters.size(), 0xFFFF);
    for (int y = 0; y < std::min(height, shownHeight); ++y)
        for (int x = 0; x < std::min(width, shownWidth); ++x) {
            const std::size_t from = static_cast<std::size_t>(y * shownWidth + x), to = static_cast<std::size_t>(y * width + x);
            characters[to] = shownCharacters[from];
            attributes[to] = shownAttributes[from];
        }
    // A double-width character cut at the new right edge is unknown.
    if (width < shownWidth)
        for (int y = 0; y < height; ++y)
            if (width > 0 && twoCells(characters[static_cast<std::size_t>(y * width + width - 1)]))
                characters[static_cast<std::size_t>(y * width + width - 1)] = 0;
    const bool known = shownWidth > 0;
    shownWidth = width, shownHeight = height;
    shownCharacters = std::move(characters);
    shownAttributes = std::move(attributes);
    if (known) repaint(output);
}

// Row by row: one write of the characters, one fill per run of one attribute.
void WindowsConsole::repaint(win32::Handle output) {
    std::vector<char16_t> row;
    for (int y = 0; y < shownHeight; ++y) {
        const std::size_t start = static_cast<std::size_t>(y * shownWidth);
        row.clear();
        for (int x = 0; x < shownWidth; ++x) {
            const char16_t c = shownCharacters[start + static_cast<std::size_t>(x)];
            if (c != 0xFFFF) row.push_back(c ? c : u' ');
        }
        api.writeCharacters(output, row.data(), static_cast<std::uint32_t>(row.size()), {0, static_cast<std::int16_t>(y)});
        for (int x = 0; x < shownWidth;) {
            const std::uint16_t attribute = shownAttributes[start + static_cast<std::size_t>(x)];
            int end = x + 1;
            while (end < shownWidth && shownAttributes[start + static_cast<std::size_t>(end)] == attribute) ++end;
            if (attribute != 0xFFFF)
                api.fillAttribute(output, attribute, static_cast<std::uint32_t>(end - x),
                                  {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)});
            x = end;
        }
    }
}

void WindowsConsole::fitBufferToWindow(win32::Handle output, win32::BufferInfo& info) {
    const std::int16_t width = static_cast<std::int16_t>(info.right - info.left + 1);
    const std::int16_t height = static_cast<std::int16_t>(info.bottom - info.top + 1);
    if (info.size.x == width && info.size.y == height && info.left == 0 && info.top == 0) return;
    // The window to the top left corner first: a buffer cannot shrink under its window.
    api.setWindow(output, 0, 0, static_cast<std::int16_t>(width - 1), static_cast<std::int16_t>(height - 1));
    api.setScreenBufferSize(output, {width, height});
    api.screenBufferInfo(output, info);
}

void WindowsConsole::forgetShown() {
    std::fill(shownCharacters.begin(), shownCharacters.end(), 0);
    std::fill(shownAttributes.begin(), shownAttributes.end(), 0xFFFF);
}

HANDLE WindowsConsole::GetStdHandle(std::int32_t which) {
    win32::Handle h = nullptr;
    if (which == STD_INPUT_HANDLE) h = api.stdHandle(win32::StdHandle::input);
    else if (which == STD_OUTPUT_HANDLE) h = own ? own : api.stdHandle(win32::StdHandle::output);
    return h ? reinterpret_cast<HANDLE>(h) : INVALID_HANDLE_VALUE;
}

bool WindowsConsole::GetConsoleScreenBufferInfo(HANDLE output, CONSOLE_SCREEN_BUFFER_INFO* info) {
    win32::BufferInfo b;
    if (!api.screenBufferInfo(toHandle(output), b)) return false;
    if (own && toHandle(output) == own) fitBufferToWindow(own, b);
    *info = CONSOLE_SCREEN_BUFFER_INFO{};
    info->dwSize = toCoord(b.size);
    info->dwCursorPosition = toCoord(b.cursor);
    info->wAttributes = b.attributes;
    info->srWindow = {b.left, b.top, b.right, b.bottom};
    info->dwMaximumWindowSize = toCoord(b.maximumWindow);
    followBufferSize(toHandle(output), b.size.x, b.size.y);
    return true;
}

// Double-byte characters arrive one per call from the frame's renderer, so
// each UTF-16 character starts at the cell of its GBK lead byte. The count
// reported is in bytes, as the A function reports it with code page 936.
bool WindowsConsole::WriteConsoleOutputCharacterA(HANDLE output, const char* text, std::uint32_t length, COORD start,
                                                  std::uint32_t* written) {
    const std::uint32_t n = widen(text, length);
    const bool inside = start.X >= 0 && start.Y >= 0 && start.X < shownWidth && start.Y < shownHeight;
    const std::uint32_t first = inside ? static_cast<std::uint32_t>(start.Y * shownWidth + start.X) : 0;
    // The cells this write covers: a character GBK writes in two bytes takes two.
    bool same = inside && first + length <= shownCharacters.size();
    for (std::uint32_t i = 0, cell = first; same && i < n; ++i) {
        const bool doubleWidth = twoCells(wide[i]);
        same = shownCharacters[cell] == wide[i] && (!doubleWidth || shownCharacters[cell + 1] == 0xFFFF);
        cell += doubleWidth ? 2 : 1;
    }
    if (same) {
        if (written) *written = length;
        return true;
    }
    const bool ok = api.writeCharacters(toHandle(output), wide.data(), n, toCell(start));
    if (written) *written = ok ? length : 0;
    if (inside) {
        std::uint32_t cell = first;
        for (std::uint32_t i = 0; i < n && cell < shownCharacters.size(); ++i) {
            const bool doubleWidth = twoCells(wide[i]);
            shownCharacters[cell++] = ok ? wide[i] : 0;
            if (doubleWidth && cell < shownCharacters.size()) shownCharacters[cell++] = ok ? 0xFFFF : 0;
        }
    }
    return ok;
}

bool WindowsConsole::FillConsoleOutputAttribute(HANDLE output, std::uint16_t attribute, std::uint32_t length,
                                                COORD start, std::uint32_t* written) {
    const bool inside = start.X >= 0 && start.Y >= 0 && start.X < shownWidth && start.Y < shownHeight;
    const std::size_t first = inside ? static_cast<std::size_t>(start.Y * shownWidth + start.X) : 0;
    const std::size_t last = inside ? std::min(first + length, shownAttributes.size()) : 0;
    bool same = inside && first + length <= shownAttributes.size();
    for (std::size_t cell = first; same && cell < last; ++cell) same = shownAttributes[cell] == attribute;
    if (same) {
        if (written) *written = length;
        return true;
    }
    const bool ok = api.fillAttribute(toHandle(output), attribute, length, toCell(start));
    if (written) *written = ok ? length : 0;
    for (std::size_t cell = first; cell < last; ++cell) shownAttributes[cell] = ok ? attribute : 0xFFFF;
    return ok;
}

bool WindowsConsole::FillConsoleOutputCharacterA(HANDLE output, char character, std::uint32_t length, COORD start,
                                                 std::uint32_t* written) {
    const char16_t c = wideFromGbkByte(static_cast<std::uint8_t>(character));
    const bool ok = api.fillCharacter(toHandle(output), c ? c : u'?', length, toCell(start));
    const bool inside = start.X >= 0 && start.Y >= 0 && start.X < shownWidth && start.Y < shownHeight;
    const std::size_t first = inside ? static_cast<std::size_t>(start.Y * shownWidth + start.X) : 0;
    const std::size_t last = inside ? std::min<std::size_t>(first + length, shownCharacters.size()) : 0;
    if (!ok || !inside) forgetShown();
    std::fill(shownCharacters.begin() + static_cast<std::ptrdiff_t>(first),
              shownCharacters.begin() + static_cast<std::ptrdiff_t>(last), c ? c : u'?');
    if (written) *written = ok ? length : 0;
    return ok;
}

bool WindowsConsole::SetConsoleCursorPosition(HANDLE output, COORD position) {
    return api.setCursorPosition(toHandle(output), toCell(position));
}

bool WindowsConsole::GetConsoleCursorInfo(HANDLE output, CONSOLE_CURSOR_INFO* info) {
    std::uint32_t size = 25;
    bool visible = true;
    if (!api.cursorInfo(toHandle(output), size, visible)) return false;
    info->dwSize = size;
    info->bVisible = visible ? 1 : 0;
    return true;
}

bool WindowsConsole::SetConsoleCursorInfo(HANDLE output, const CONSOLE_CURSOR_INFO* info) {
    return api.setCursorInfo(toHandle(output), info->dwSize, info->bVisible != 0);
}

bool WindowsConsole::GetConsoleMode(HANDLE input, std::uint32_t* mode) { return api.mode(toHandle(input), *mode); }

bool WindowsConsole::SetConsoleMode(HANDLE input, std::uint32_t mode) {
    return api.setMode(toHandle(input), withoutSelectionAndVt(mode));
}

// The process has one system handler (installed here once); it asks the
// game's routine about Ctrl+C and Ctrl+Break and turns a close into an exit.
bool WindowsConsole::SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, bool add) {
    if (routine) {
        if (add) gameHandler.store(routine);
        else if (gameHandler.load() == routine) gameHandler.store(nullptr);
        return true;
    }
    return api.setControlHandler(add ? &WindowsConsole::onControlEvent : nullptr);
}

void WindowsConsole::push(const INPUT_RECORD& record) {
    if (queueSize == queue.size()) return; // the game reads one record a frame; a flood past this is dropped
    queue[(queueHead + queueSize) % queue.size()] = record;
    ++queueSize;
}

bool WindowsConsole::pump(HANDLE input) {
    std::uint32_t pending = 0;
    // A wait without a timeout first: wine's console takes in what the terminal
    // sent only when someone waits on it; on Windows it costs one call.
    api.waitForInput(toHandle(input), 0);
    if (!api.pendingInput(toHandle(input), pending)) return false;
    win32::InputRecord records[16];
    INPUT_RECORD decoded[WindowsInputDecoder::maxRecords];
    while (pending > 0 && queueSize + WindowsInputDecoder::maxRecords * 16 <= queue.size()) {
        std::uint32_t read = 0;
        if (!api.readInput(toHandle(input), records, std::min<std::uint32_t>(pending, 16), read) || read == 0) break;
        for (std::uint32_t i = 0; i < read; ++i) {
            const std::uint32_t n = decoder.decode(records[i], decoded);
            for (std::uint32_t k = 0; k < n; ++k) {
                const INPUT_RECORD& r = decoded[k];
                if (exitOnF10 && r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown &&
                    r.Event.KeyEvent.wVirtualKeyCode == VK_F10 && !(f10AsksFirst && f10AsksFirst()))
                    quit();
                push(r);
            }
        }
        if (!api.pendingInput(toHandle(input), pending)) break;
    }
    return true;
}

bool WindowsConsole::GetNumberOfConsoleInputEvents(HANDLE input, std::uint32_t* count) {
    quitIfClosing();
    const bool ok = pump(input);
    *count = queueSize;
    return ok || queueSize > 0;
}

bool WindowsConsole::ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) {
    std::uint32_t n = 0;
    if (length > 0) {
        quitIfClosing();
        bool ok = pump(input);
        while (queueSize == 0 && ok) {
            api.waitForInput(toHandle(input), 50);
            quitIfClosing();
            ok = pump(input);
        }
        if (queueSize == 0) {
            // Input is not a console: nothing will ever arrive, so do not wait for ever.
            if (read) *read = 0;
            return false;
        }
        while (n < length && queueSize > 0) {
            buffer[n++] = queue[queueHead];
            queueHead = (queueHead + 1) % queue.size();
            --queueSize;
        }
    }
    if (read) *read = n;
    return true;
}

void WindowsConsole::WriteStandardOutput(const char* text, std::uint32_t length) {
    forgetShown(); // printed at the cursor, wherever that is
    const std::uint32_t n = widen(text, length);
    api.writeText(own ? own : original, wide.data(), n);
}

void WindowsConsole::Sleep(std::uint32_t milliseconds) {
    quitIfClosing();
    // Input is read while waiting too: F10 ends the size prompt as it ends the game.
    if (input) pump(reinterpret_cast<HANDLE>(input));
    api.sleep(milliseconds);
    quitIfClosing();
}

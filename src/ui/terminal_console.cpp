#include "ui/terminal_console.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "ui/gbk_text.h"
#include "ui/terminal_modes.h"

namespace {

constexpr HANDLE inputHandle = 10;
constexpr HANDLE outputHandle = 11;
// Without a terminal the console claims a window large enough for the game.
constexpr int detachedWidth = 170, detachedHeight = 45;

std::uint64_t nowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1000 + static_cast<std::uint64_t>(t.tv_nsec) / 1000000;
}

bool windowSize(int fd, int& width, int& height) {
    winsize ws{};
    if (ioctl(fd, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0 || ws.ws_row == 0) return false;
    width = ws.ws_col;
    height = ws.ws_row;
    return true;
}

void writeAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, bytes, length);
        if (n > 0) {
            bytes += n;
            length -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 100) <= 0) return;
        } else if (!(n < 0 && errno == EINTR)) {
            return;
        }
    }
}

} // namespace

TerminalConsole::TerminalConsole(int in, int out) : inputFd(in), outputFd(out) {
    terminal = enterTerminalModes(in, out);
    int width = detachedWidth, height = detachedHeight;
    if (terminal && !windowSize(out, width, height)) width = 80, height = 24;
    model.resize(width, height);
    if (terminal) prepareGbkTables();
    drawing = terminal;
    frame.reserve(1 << 16);
    queueSizeRecord();
}

TerminalConsole::TerminalConsole(DrawOnly, int out, int width, int height) : inputFd(-1), outputFd(out) {
    model.resize(width, height);
    prepareGbkTables();
    drawing = true;
    frame.reserve(1 << 16);
    queueSizeRecord();
}

TerminalConsole::~TerminalConsole() { restore(); }

void TerminalConsole::restore() {
    if (restored) return;
    flush();
    restored = true;
    if (terminal) leaveTerminalModes();
}

void TerminalConsole::quit() {
    restore();
    std::exit(0);
}

void TerminalConsole::flush() {
    if (!drawing || restored) return;
    frame.clear();
    model.render(frame);
    if (frame.empty()) return;
    writeAll(outputFd, frame.data(), frame.size());
    written += frame.size();
}

void TerminalConsole::queueSizeRecord() {
    INPUT_RECORD r;
    r.EventType = WINDOW_BUFFER_SIZE_EVENT;
    r.Event.WindowBufferSizeEvent = WINDOW_BUFFER_SIZE_RECORD{};
    r.Event.WindowBufferSizeEvent.dwSize = {static_cast<std::int16_t>(model.width()),
                                            static_cast<std::int16_t>(model.height())};
    queue.push(r);
}

void TerminalConsole::followResize(bool force) {
    if (!terminal || restored) return;
    if (!takeResizeNotice() && !force) return;
    int width = model.width(), height = model.height();
    windowSize(outputFd, width, height);
    // The terminal may have reflowed or cleared the screen: paint it all again.
    model.resize(width, height);
    queueSizeRecord();
}

void TerminalConsole::deliver(InputQueue& records) {
    INPUT_RECORD r;
    while (records.pop(r)) {
        if (exitOnF10 && r.EventType == KEY_EVENT && r.Event.KeyEvent.wVirtualKeyCode == VK_F10 && !(f10AsksFirst && f10AsksFirst()))
            quit();
        queue.push(r);
    }
}

void TerminalConsole::pump(int timeoutMs) {
    followResize(false);
    if (!terminal || restored) return;
    pollfd fds[2] = {{inputFd, POLLIN, 0}, {resizeWakeFd(), POLLIN, 0}};
    nfds_t count = fds[1].fd >= 0 ? 2 : 1;
    // Everything the terminal has sent so far, then no more waiting.
    for (int reads = 0; reads < 64; ++reads, timeoutMs = 0) {
        if (poll(fds, count, timeoutMs) <= 0 || !(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) break;
        char buffer[4096];
        ssize_t n = read(inputFd, buffer, sizeof buffer);
        if (n > 0) {
            decoder.feed(buffer, static_cast<std::size_t>(n), nowMs(), decoded);
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            quit(); // the terminal is gone, as when a console window is closed
        }
    }
    decoder.expire(nowMs(), decoded);
    deliver(decoded);
    followResize(false);
}

HANDLE TerminalConsole::GetStdHandle(std::int32_t which) {
    if (which == STD_INPUT_HANDLE) return inputHandle;
    if (which == STD_OUTPUT_HANDLE) return outputHandle;
    return INVALID_HANDLE_VALUE;
}

bool TerminalConsole::GetConsoleScreenBufferInfo(HANDLE, CONSOLE_SCREEN_BUFFER_INFO* info) {
    followResize(false);
    *info = CONSOLE_SCREEN_BUFFER_INFO{};
    info->dwSize = {static_cast<std::int16_t>(model.bufferWidth()), static_cast<std::int16_t>(model.bufferHeight())};
    info->dwCursorPosition = {static_cast<std::int16_t>(model.cursorX()), static_cast<std::int16_t>(model.cursorY())};
    info->wAttributes = 0x07;
    info->srWindow = {0, 0, static_cast<std::int16_t>(model.width() - 1), static_cast<std::int16_t>(model.height() - 1)};
    info->dwMaximumWindowSize = {static_cast<std::int16_t>(model.width()), static_cast<std::int16_t>(model.height())};
    return true;
}

bool TerminalConsole::WriteConsoleOutputCharacterA(HANDLE, const char* text, std::uint32_t length, COORD start,
                                                   std::uint32_t* written) {
    std::uint32_t n = model.writeCharacters(start.X, start.Y, text, length);
    if (written) *written = n;
    return true;
}

bool TerminalConsole::FillConsoleOutputAttribute(HANDLE, std::uint16_t attribute, std::uint32_t length, COORD start,
                                                 std::uint32_t* written) {
    std::uint32_t n = model.fillAttribute(start.X, start.Y, static_cast<std::uint8_t>(attribute), length);
    if (written) *written = n;
    return true;
}

bool TerminalConsole::FillConsoleOutputCharacterA(HANDLE, char character, std::uint32_t length, COORD start,
                                                  std::uint32_t* written) {
    std::uint32_t n = model.fillCharacter(start.X, start.Y, static_cast<std::uint8_t>(character), length);
    if (written) *written = n;
    return true;
}

bool TerminalConsole::SetConsoleCursorPosition(HANDLE, COORD position) {
    model.setCursor(position.X, position.Y);
    return true;
}

bool TerminalConsole::GetConsoleCursorInfo(HANDLE, CONSOLE_CURSOR_INFO* info) {
    *info = cursorInfo;
    return true;
}

bool TerminalConsole::SetConsoleCursorInfo(HANDLE, const CONSOLE_CURSOR_INFO* info) {
    cursorInfo = *info;
    model.setCursorVisible(info->bVisible != 0);
    return true;
}

bool TerminalConsole::GetConsoleMode(HANDLE, std::uint32_t* mode) {
    *mode = inputMode;
    return true;
}

// Raw mode already delivers every key; the mode is kept for the program to read back.
bool TerminalConsole::SetConsoleMode(HANDLE, std::uint32_t mode) {
    inputMode = mode;
    return true;
}

bool TerminalConsole::SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, bool add) {
    if (!routine) {
        // In raw mode Ctrl+C is a key; this covers an interrupt sent with kill.
        if (terminal) signal(SIGINT, add ? SIG_IGN : SIG_DFL);
        return true;
    }
    if (add) {
        ctrlHandlers.push_back(routine);
    } else {
        for (auto it = ctrlHandlers.begin(); it != ctrlHandlers.end(); ++it)
            if (*it == routine) {
                ctrlHandlers.erase(it);
                break;
            }
    }
    return true;
}

bool TerminalConsole::GetNumberOfConsoleInputEvents(HANDLE, std::uint32_t* count) {
    flush();
    pump(0);
    *count = static_cast<std::uint32_t>(queue.size());
    return true;
}

bool TerminalConsole::ReadConsoleInputA(HANDLE, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) {
    std::uint32_t n = 0;
    if (length > 0) {
        flush();
        pump(0);
        while (queue.empty()) {
            if (!terminal || restored) {
                queueSizeRecord(); // nothing will ever arrive: do not wait for ever
                break;
            }
            pump(decoder.millisecondsUntilExpiry(nowMs()));
        }
        while (n < length && queue.pop(buffer[n])) ++n;
    }
    if (read) *read = n;
    return true;
}

bool TerminalConsole::PeekConsoleInputA(HANDLE, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) {
    pump(0);
    std::uint32_t n = 0;
    for (; n < length && n < queue.size(); ++n) buffer[n] = queue[n];
    if (read) *read = n;
    return true;
}

void TerminalConsole::WriteStandardOutput(const char* text, std::uint32_t length) {
    model.writeText(text, length, 0x07);
}

void TerminalConsole::Sleep(std::uint32_t milliseconds) {
    flush();
    timespec until;
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += milliseconds / 1000;
    until.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) until.tv_sec += 1, until.tv_nsec -= 1000000000L;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

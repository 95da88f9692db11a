#include "console/terminal_console.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "text/gbk_text.h"
#include "console/terminal_modes.h"

namespace {

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
    renderFrame();
    if (frame.empty()) return;
    writeAll(outputFd, frame.data(), frame.size());
    written += frame.size();
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

void TerminalConsole::waitForInput() {
    if (!terminal || restored) queueSizeRecord(); // nothing will ever arrive: do not wait for ever
    else pump(decoder.millisecondsUntilExpiry(nowMs()));
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

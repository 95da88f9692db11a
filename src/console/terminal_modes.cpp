#include "console/terminal_modes.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Enter: alternate screen, autowrap off, cursor hidden, any-motion mouse in SGR
// form, bracketed paste (a paste arrives marked, as one paste rather than typing).
constexpr char enterBytes[] = "\x1b[?1049h\x1b[?7l\x1b[?25l\x1b[?1003h\x1b[?1006h\x1b[?2004h";
// Precomputed so the signal handlers only need write().
constexpr char leaveBytes[] = "\x1b[?2004l\x1b[?1006l\x1b[?1003l\x1b[?1002l\x1b[?1000l\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";

constexpr int restoredSignals[] = {SIGTERM, SIGHUP, SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
constexpr int signalCount = sizeof restoredSignals / sizeof restoredSignals[0];

volatile sig_atomic_t active = 0;
volatile sig_atomic_t resized = 0;
int inputFd = -1, outputFd = -1;
termios savedTermios;
int wakePipe[2] = {-1, -1};
struct sigaction previous[signalCount];
bool installed[signalCount];
struct sigaction previousWinch;
bool exitHookRegistered = false;

void writeAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
}

void onResize(int) {
    int saved = errno;
    resized = 1;
    if (wakePipe[1] >= 0) {
        char b = 'w';
        (void)!write(wakePipe[1], &b, 1);
    }
    errno = saved;
}

// Stopped from outside (Ctrl+Z is only a key in raw mode): the shell gets its
// terminal back while we are stopped, and the game gets its modes and a full
// repaint, through the resize path, when it continues.
struct sigaction ownStop;
struct sigaction previousStop;
bool stopInstalled = false;
termios rawTermios;

void onStop(int) {
    int saved = errno;
    writeAll(outputFd, leaveBytes, sizeof leaveBytes - 1);
    tcsetattr(inputFd, TCSANOW, &savedTermios);
    struct sigaction stopNow {};
    sigemptyset(&stopNow.sa_mask);
    stopNow.sa_handler = SIG_DFL;
    sigaction(SIGTSTP, &stopNow, nullptr);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGTSTP); // stops here until SIGCONT
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    sigaction(SIGTSTP, &ownStop, nullptr);
    tcsetattr(inputFd, TCSANOW, &rawTermios);
    writeAll(outputFd, enterBytes, sizeof enterBytes - 1);
    onResize(SIGWINCH);
    errno = saved;
}

void onFatal(int signal) {
    leaveTerminalModes(); // also puts the previous handlers back
    raise(signal);
}

void leaveAtExit() { leaveTerminalModes(); }

} // namespace

bool enterTerminalModes(int in, int out) {
    if (active) return true;
    if (!isatty(in) || !isatty(out) || tcgetattr(in, &savedTermios) != 0) return false;
    termios raw = savedTermios;
    cfmakeraw(&raw);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(in, TCSANOW, &raw) != 0) return false;
    rawTermios = raw;
    inputFd = in;
    outputFd = out;
    if (wakePipe[0] < 0 && pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;

    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = onFatal;
    for (int i = 0; i < signalCount; ++i) {
        installed[i] = false;
        if (sigaction(restoredSignals[i], nullptr, &previous[i]) != 0) continue;
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (previous[i].sa_handler == SIG_IGN) continue;
        installed[i] = sigaction(restoredSignals[i], &action, nullptr) == 0;
    }
    struct sigaction winch {};
    sigemptyset(&winch.sa_mask);
    winch.sa_handler = onResize;
    winch.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &winch, &previousWinch);
    ownStop = winch;
    ownStop.sa_handler = onStop;
    stopInstalled = sigaction(SIGTSTP, nullptr, &previousStop) == 0 && previousStop.sa_handler != SIG_IGN &&
                    sigaction(SIGTSTP, &ownStop, nullptr) == 0;

    active = 1;
    if (!exitHookRegistered) exitHookRegistered = std::atexit(leaveAtExit) == 0;
    writeAll(out, enterBytes, sizeof enterBytes - 1);
    return true;
}

void leaveTerminalModes() {
    if (!active) return;
    active = 0;
    writeAll(outputFd, leaveBytes, sizeof leaveBytes - 1);
    tcsetattr(inputFd, TCSANOW, &savedTermios);
    for (int i = 0; i < signalCount; ++i)
        if (installed[i]) sigaction(restoredSignals[i], &previous[i], nullptr);
    sigaction(SIGWINCH, &previousWinch, nullptr);
    if (stopInstalled) sigaction(SIGTSTP, &previousStop, nullptr);
}

bool terminalModesActive() { return active != 0; }

int resizeWakeFd() { return wakePipe[0]; }

bool takeResizeNotice() {
    if (!resized) return false;
    resized = 0;
    char buffer[64];
    while (wakePipe[0] >= 0 && read(wakePipe[0], buffer, sizeof buffer) > 0) {
    }
    return true;
}

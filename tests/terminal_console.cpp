// The terminal console on a pseudo-terminal: raw mode and its restoration,
// input read from the terminal, the size and its changes, when output is
// sent, F10 and signals ending the program with the terminal given back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <ctime>
#include <stdexcept>
#include <string>

#include "terminal_vt.h"
#include "console/terminal_console.h"

namespace {

struct Pty {
    int master = -1, slave = -1;
    termios original{};
    Pty(int width, int height) {
        winsize ws{};
        ws.ws_col = static_cast<unsigned short>(width);
        ws.ws_row = static_cast<unsigned short>(height);
        if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0) throw std::runtime_error("openpty");
        tcgetattr(slave, &original);
    }
    ~Pty() {
        close(master);
        close(slave);
    }
    void type(const std::string& bytes) const { (void)!write(master, bytes.data(), bytes.size()); }
    // What the console sent, waiting up to timeoutMs for the first byte.
    std::string output(int timeoutMs = 200) const {
        std::string out;
        pollfd p{master, POLLIN, 0};
        while (poll(&p, 1, out.empty() ? timeoutMs : 20) > 0) {
            char buffer[4096];
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            out.append(buffer, static_cast<std::size_t>(n));
        }
        return out;
    }
    void resize(int width, int height) const {
        winsize ws{};
        ws.ws_col = static_cast<unsigned short>(width);
        ws.ws_row = static_cast<unsigned short>(height);
        ioctl(master, TIOCSWINSZ, &ws);
    }
    bool restored() const {
        termios now{};
        tcgetattr(slave, &now);
        return now.c_lflag == original.c_lflag && now.c_iflag == original.c_iflag && now.c_oflag == original.c_oflag &&
               now.c_cflag == original.c_cflag;
    }
};

// <chrono> cannot be compiled with the GBK execution character set.
long long nowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Waits until the console has queued at least count records.
bool waitForRecords(TerminalConsole& con, std::uint32_t count) {
    for (int i = 0; i < 200; ++i) {
        std::uint32_t n = 0;
        con.GetNumberOfConsoleInputEvents(con.GetStdHandle(STD_INPUT_HANDLE), &n);
        if (n >= count) return true;
        usleep(5000);
    }
    return false;
}

INPUT_RECORD next(TerminalConsole& con) {
    INPUT_RECORD r;
    std::uint32_t read = 0;
    con.ReadConsoleInputA(con.GetStdHandle(STD_INPUT_HANDLE), &r, 1, &read);
    EXPECT_EQ(read, 1u);
    return r;
}

TEST(TerminalConsole, TakesOverTheTerminalAndGivesItBack) {
    Pty pty(40, 10);
    {
        TerminalConsole con(pty.slave, pty.slave);
        ASSERT_TRUE(con.isTerminal());
        termios raw{};
        tcgetattr(pty.slave, &raw);
        EXPECT_FALSE(raw.c_lflag & (ICANON | ECHO | ISIG));
        EXPECT_FALSE(raw.c_iflag & IXON);
        const std::string start = pty.output();
        EXPECT_TRUE(contains(start, "\x1b[?1049h")) << "alternate screen";
        EXPECT_TRUE(contains(start, "\x1b[?7l")) << "no autowrap";
        EXPECT_TRUE(contains(start, "\x1b[?1003h\x1b[?1006h")) << "any-motion mouse in SGR form";
    }
    EXPECT_TRUE(pty.restored());
    const std::string end = pty.output();
    for (const char* mode : {"\x1b[?1006l", "\x1b[?1003l", "\x1b[?7h", "\x1b[?25h", "\x1b[?1049l"})
        EXPECT_TRUE(contains(end, mode)) << mode + 1;
}

TEST(TerminalConsole, SizeComesFromTheTerminalAndFollowsIt) {
    Pty pty(100, 30);
    TerminalConsole con(pty.slave, pty.slave);
    pty.output();
    INPUT_RECORD r = next(con);
    ASSERT_EQ(r.EventType, WINDOW_BUFFER_SIZE_EVENT);
    EXPECT_EQ(r.Event.WindowBufferSizeEvent.dwSize.X, 100);
    EXPECT_EQ(r.Event.WindowBufferSizeEvent.dwSize.Y, 30);
    CONSOLE_SCREEN_BUFFER_INFO info;
    con.GetConsoleScreenBufferInfo(con.GetStdHandle(STD_OUTPUT_HANDLE), &info);
    EXPECT_EQ(info.srWindow.Right, 99);
    EXPECT_EQ(info.srWindow.Bottom, 29);

    pty.resize(120, 40);
    raise(SIGWINCH);
    ASSERT_TRUE(waitForRecords(con, 1));
    r = next(con);
    ASSERT_EQ(r.EventType, WINDOW_BUFFER_SIZE_EVENT);
    EXPECT_EQ(r.Event.WindowBufferSizeEvent.dwSize.X, 120);
    EXPECT_EQ(r.Event.WindowBufferSizeEvent.dwSize.Y, 40);
    con.GetConsoleScreenBufferInfo(con.GetStdHandle(STD_OUTPUT_HANDLE), &info);
    EXPECT_EQ(info.srWindow.Right, 119);
    con.Sleep(0);
    EXPECT_TRUE(contains(pty.output(), "\x1b[2J")) << "the whole screen is painted again";
}

TEST(TerminalConsole, KeysAndMouseArriveAsRecords) {
    Pty pty(40, 10);
    TerminalConsole con(pty.slave, pty.slave);
    con.exitOnF10 = false;
    next(con); // the size record
    pty.type("a\x03\x1b[<0;5;6M\xe4\xb8\xad\x1b[21~");
    ASSERT_TRUE(waitForRecords(con, 6));
    INPUT_RECORD r = next(con);
    EXPECT_EQ(r.Event.KeyEvent.wVirtualKeyCode, 'A');
    EXPECT_EQ(r.Event.KeyEvent.uChar.AsciiChar, 'a');
    r = next(con);
    EXPECT_EQ(r.Event.KeyEvent.uChar.AsciiChar, 3) << "Ctrl+C is a key";
    r = next(con);
    ASSERT_EQ(r.EventType, MOUSE_EVENT);
    EXPECT_EQ(r.Event.MouseEvent.dwMousePosition.X, 4);
    EXPECT_EQ(r.Event.MouseEvent.dwMousePosition.Y, 5);
    EXPECT_EQ(next(con).Event.KeyEvent.uChar.AsciiChar, static_cast<char>(0xD6)); // 中 in GBK: D6 D0
    EXPECT_EQ(next(con).Event.KeyEvent.uChar.AsciiChar, static_cast<char>(0xD0));
    EXPECT_EQ(next(con).Event.KeyEvent.wVirtualKeyCode, VK_F10);
}

TEST(TerminalConsole, ReadWaitsForInputAndForALoneEscape) {
    Pty pty(40, 10);
    TerminalConsole con(pty.slave, pty.slave);
    next(con);
    long long started = nowMs();
    pid_t typist = fork();
    if (typist == 0) {
        usleep(60000);
        pty.type("x");
        _exit(0);
    }
    INPUT_RECORD r = next(con);
    waitpid(typist, nullptr, 0);
    EXPECT_EQ(r.Event.KeyEvent.uChar.AsciiChar, 'x');
    EXPECT_GE(nowMs() - started, 50);

    pty.type("\x1b");
    started = nowMs();
    r = next(con);
    EXPECT_EQ(r.Event.KeyEvent.wVirtualKeyCode, VK_ESCAPE);
    EXPECT_GE(nowMs() - started, 20);
}

TEST(TerminalConsole, OutputIsSentWhenTheProgramWaits) {
    Pty pty(40, 10);
    TerminalConsole con(pty.slave, pty.slave);
    HANDLE out = con.GetStdHandle(STD_OUTPUT_HANDLE);
    pty.output();
    const std::string text = "汇编ABC";
    con.WriteConsoleOutputCharacterA(out, text.data(), static_cast<std::uint32_t>(text.size()), {3, 2}, nullptr);
    con.FillConsoleOutputAttribute(out, 0x0F, static_cast<std::uint32_t>(text.size()), {3, 2}, nullptr);
    EXPECT_EQ(pty.output(30), "") << "nothing before the frame ends";
    con.Sleep(1);
    VirtualTerminal vt(40, 10);
    vt.feed(pty.output());
    EXPECT_EQ(vt.columnOf(2, utf8(u8"汇编ABC")), 3);
    // An unchanged frame sends nothing, whichever call ends it.
    con.WriteConsoleOutputCharacterA(out, text.data(), static_cast<std::uint32_t>(text.size()), {3, 2}, nullptr);
    std::uint32_t n;
    con.GetNumberOfConsoleInputEvents(con.GetStdHandle(STD_INPUT_HANDLE), &n);
    con.Sleep(0);
    EXPECT_EQ(pty.output(30), "");
}

// Runs body in a child process on the pty and returns its wait status.
template <typename Body> int inChild(Pty& pty, Body body, const std::string& typed = "", int signal = 0) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        body(ready[1]);
        _exit(3);
    }
    close(ready[1]);
    char b;
    (void)!read(ready[0], &b, 1);
    close(ready[0]);
    if (!typed.empty()) pty.type(typed);
    if (signal) kill(pid, signal);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) pty.output(10); // keep the terminal drained
    return status;
}

TEST(TerminalConsole, F10EndsTheProgramWithTheTerminalRestored) {
    Pty pty(40, 10);
    int status = inChild(pty, [&](int ready) {
        TerminalConsole con(pty.slave, pty.slave);
        (void)!write(ready, "r", 1);
        for (;;) next(con);
    }, "\x1b[21~");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(pty.restored());
}

// While the game has something to ask first (progress not saved), F10 reaches it as a key.
TEST(TerminalConsole, F10ReachesTheGameWhenItAsksFirst) {
    Pty pty(40, 10);
    TerminalConsole con(pty.slave, pty.slave);
    f10AsksFirst = [] { return true; };
    next(con); // the size record
    pty.type("\x1b[21~");
    ASSERT_TRUE(waitForRecords(con, 1));
    EXPECT_EQ(next(con).Event.KeyEvent.wVirtualKeyCode, VK_F10);
    f10AsksFirst = nullptr;
}

TEST(TerminalConsole, TerminationSignalsRestoreTheTerminal) {
    for (int signal : {SIGTERM, SIGHUP}) {
        Pty pty(40, 10);
        int status = inChild(pty, [&](int ready) {
            TerminalConsole con(pty.slave, pty.slave);
            (void)!write(ready, "r", 1);
            for (;;) next(con);
        }, "", signal);
        ASSERT_TRUE(WIFSIGNALED(status)) << signal;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_TRUE(pty.restored()) << signal;
    }
}

TEST(TerminalConsole, WithoutATerminalNothingIsShownAndNothingWaits) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    {
        TerminalConsole con(fds[0], fds[1]);
        EXPECT_FALSE(con.isTerminal());
        HANDLE out = con.GetStdHandle(STD_OUTPUT_HANDLE);
        con.WriteConsoleOutputCharacterA(out, "abc", 3, {0, 0}, nullptr);
        con.Sleep(0);
        INPUT_RECORD r = next(con);
        EXPECT_EQ(r.EventType, WINDOW_BUFFER_SIZE_EVENT);
        r = next(con);
        EXPECT_EQ(r.EventType, WINDOW_BUFFER_SIZE_EVENT);
    }
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    char b;
    EXPECT_EQ(read(fds[0], &b, 1), -1) << "nothing written";
    close(fds[0]);
    close(fds[1]);
}

} // namespace

namespace {
TEST(TerminalConsole, StoppedFromOutsideTheTerminalIsGivenBackUntilContinued) {
    Pty pty(40, 10);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    if (pid == 0) {
        // A group of its own whose parent is in the same session: the kernel
        // discards stop signals sent to an orphaned group (as the test runner's
        // may be when it runs without job control), and then nothing would stop.
        setpgid(0, 0);
        TerminalConsole con(pty.slave, pty.slave);
        next(con); // the size record of the start
        (void)!write(ready[1], "r", 1);
        // Continuing repaints and reports the size, as after a resize.
        INPUT_RECORD r = next(con);
        (void)!write(ready[1], r.EventType == WINDOW_BUFFER_SIZE_EVENT ? "s" : "?", 1);
        for (;;) next(con);
    }
    char b = 0;
    ASSERT_EQ(read(ready[0], &b, 1), 1);
    kill(pid, SIGTSTP);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, WUNTRACED), pid);
    EXPECT_TRUE(WIFSTOPPED(status));
    EXPECT_TRUE(pty.restored()) << "the shell gets a normal terminal while the program is stopped";
    EXPECT_TRUE(contains(pty.output(), "\x1b[?1049l"));
    kill(pid, SIGCONT);
    pty.output(100);
    ASSERT_EQ(read(ready[0], &b, 1), 1);
    EXPECT_EQ(b, 's');
    EXPECT_FALSE(pty.restored()) << "raw mode again";
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    close(ready[0]);
    close(ready[1]);
}
} // namespace

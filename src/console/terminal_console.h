// The console operations on a Linux terminal. Console calls change a model of
// the console's cells (TerminalScreen); what changed reaches the terminal in
// one write() when the program is about to wait: in Sleep, before a read that
// blocks, in GetNumberOfConsoleInputEvents and at exit. Input bytes become
// records through TerminalInputDecoder; the window size follows SIGWINCH, and
// a WINDOW_BUFFER_SIZE_EVENT is queued at start and after every resize.
// F10 restores the terminal and ends the program with exit(0).
//
//   TerminalConsole con;                  // stdin/stdout
//   if (!con.isTerminal()) ...            // not a terminal: nothing is shown
//
// Without a terminal the console keeps its model but writes nothing, and a
// read that would wait returns a size record instead, like the null console.
#pragma once
#include <cstdint>
#include <vector>

#include "console/model_console.h"

class TerminalConsole : public ModelConsole {
public:
    explicit TerminalConsole(int inputFd = 0, int outputFd = 1);
    // Draws into outputFd whatever it is (a file, a pipe, /dev/null) and never
    // touches its modes; input is never read. For benchmarks and recordings.
    struct DrawOnly {};
    TerminalConsole(DrawOnly, int outputFd, int width, int height);
    ~TerminalConsole() override;
    TerminalConsole(const TerminalConsole&) = delete;
    TerminalConsole& operator=(const TerminalConsole&) = delete;

    // Whether standard input and output are a terminal the console took over.
    bool isTerminal() const { return terminal; }
    // Sends what is pending and gives the terminal its modes back; later output is dropped.
    void restore();
    // F10 ends the program unless this is cleared (tests); the key is then queued.
    bool exitOnF10 = true;
    void flush() override;
    std::uint64_t bytesWritten() const { return written; }

    bool SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, bool add) override;
    void Sleep(std::uint32_t milliseconds) override;

private:
    void pollInput() override { pump(0); }
    void waitForInput() override;
    void beforeSizeQuery() override { followResize(false); }
    // Takes in what the terminal sent, waiting up to timeoutMs (0: no wait, -1: for ever).
    void pump(int timeoutMs);
    void followResize(bool force);
    void deliver(InputQueue& decoded);
    [[noreturn]] void quit();

    int inputFd, outputFd;
    bool terminal = false; // the terminal's modes are ours
    bool drawing = false;  // frames go to outputFd
    bool restored = false;
    std::uint64_t written = 0;
    // Remembered only: in raw mode Ctrl+C is a key, so no control event ever calls them.
    std::vector<PHANDLER_ROUTINE> ctrlHandlers;
};

// The console of the game executable (src/main/host_terminal.cpp); built on first use.
TerminalConsole& terminalConsole();

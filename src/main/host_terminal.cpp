// The game: the real terminal, progress kept on disk.
#include <cstdio>

#include "main/host.h"
#include "console/terminal_console.h"

TerminalConsole& terminalConsole() {
    // Never destroyed: globals may still use the console while the program exits;
    // the terminal itself is restored by an exit hook.
    static TerminalConsole* instance = new TerminalConsole(0, 1);
    return *instance;
}

ConsolePlatform& console() { return terminalConsole(); }

// Without a terminal nothing is played, so nothing is saved either.
bool hostKeepsFiles() { return terminalConsole().isTerminal(); }

bool hostConsoleReady() {
    if (terminalConsole().isTerminal()) return true;
    std::fputs("asmquest: run it in a terminal (standard input and output must be a terminal)\n", stderr);
    return false;
}

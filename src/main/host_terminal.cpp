// The game: the real terminal, progress kept on disk.
#include "ui/terminal_console.h"

TerminalConsole& terminalConsole() {
    // Never destroyed: globals may still use the console while the program exits;
    // the terminal itself is restored by an exit hook.
    static TerminalConsole* instance = new TerminalConsole(0, 1);
    return *instance;
}

ConsolePlatform& console() { return terminalConsole(); }

// Without a terminal nothing is played, so nothing is saved either.
bool hostKeepsFiles() { return terminalConsole().isTerminal(); }

// The game on Windows: the real console, progress kept on disk.
#include <cstdio>

#include "main/host.h"
#include "ui/windows_console.h"

WindowsConsole& windowsConsole() {
    // Never destroyed: globals may still use the console while the program exits.
    static WindowsConsole* instance = new WindowsConsole(win32::win32ConsoleApi());
    return *instance;
}

ConsolePlatform& console() { return windowsConsole(); }

// Without a console nothing is played, so nothing is saved either.
bool hostKeepsFiles() { return windowsConsole().isConsole(); }

bool hostConsoleReady() {
    if (windowsConsole().isConsole()) return true;
    std::fputs("asmquest: start it in a console window (cmd, PowerShell or Windows Terminal)\n", stderr);
    return false;
}

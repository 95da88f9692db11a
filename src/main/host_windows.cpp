// The game on Windows: the real console, progress kept on disk.
#include <cstdio>
#include <cstdlib>

#include "main/host.h"
#include "console/windows_console.h"

namespace {
void restoreConsole() { windowsConsole().restore(); }
} // namespace

WindowsConsole& windowsConsole() {
    // Never destroyed: globals may still use the console while the program exits.
    static WindowsConsole* instance = [] {
        auto* con = new WindowsConsole(win32::win32ConsoleApi());
        // Windows Terminal draws characters of ambiguous width in one cell.
        con->narrowAmbiguous = std::getenv("WT_SESSION") != nullptr;
        // Whatever ends the program gives the console back as it was.
        std::atexit(restoreConsole);
        return con;
    }();
    return *instance;
}

ConsolePlatform& console() { return windowsConsole(); }

// Without a console nothing is played, so nothing is saved either.
bool hostKeepsFiles() { return windowsConsole().isConsole(); }

bool hostConsoleReady() {
    if (windowsConsole().isConsole()) return true;
    windowsConsole().restore();
    std::fputs("asmquest: start it in a console window (cmd, PowerShell or Windows Terminal)\n", stderr);
    return false;
}

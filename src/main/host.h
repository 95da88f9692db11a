// What the game's entry point needs from the host file of its platform
// (host_terminal.cpp on Linux, host_windows.cpp on Windows), besides console().
#pragma once

// Whether the game has a console to play in; when not, says why on standard error.
bool hostConsoleReady();

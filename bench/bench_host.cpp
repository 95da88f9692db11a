// Benchmarks run the game on a console that draws nothing, unless one installs another.
#include "console/null_console.h"

namespace {
NullConsole nullConsole;
} // namespace

ConsolePlatform* benchConsole = &nullConsole;

ConsolePlatform& console() { return *benchConsole; }

bool hostKeepsFiles() { return false; }

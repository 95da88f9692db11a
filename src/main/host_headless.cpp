// The headless judge: a null console, nothing written to disk.
#include "console/null_console.h"

ConsolePlatform& console() {
    static NullConsole instance;
    return instance;
}

bool hostKeepsFiles() { return false; }

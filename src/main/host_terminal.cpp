// The game: the real terminal, progress kept on disk.
#include "ui/null_console.h"

// TODO(terminal): replaced by the terminal back end.
ConsolePlatform& console() {
    static NullConsole instance;
    return instance;
}

bool hostKeepsFiles() { return true; }

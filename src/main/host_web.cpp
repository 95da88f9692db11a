// The game in a browser page: xterm.js as the console, progress in the page's
// IndexedDB (mounted as the working directory by web/asmquest.js before main).
#include <emscripten.h>

#include "run/step_history.h"
#include "main/host.h"
#include "console/web_console.h"

WebConsole& webConsole() {
    // Never destroyed, as the terminal console: the page outlives main's frames.
    static WebConsole* instance = new WebConsole();
    return *instance;
}

ConsolePlatform& console() { return webConsole(); }

bool hostKeepsFiles() { return true; }

bool hostConsoleReady() { return true; }

// Figures the page reads for its speed test (window.asmquest.stats()).
extern "C" {
EMSCRIPTEN_KEEPALIVE double asmquestSteps() { return static_cast<double>(stepHistory.steps); }
EMSCRIPTEN_KEEPALIVE double asmquestLastFrameMicros() { return static_cast<double>(webConsole().lastFrameMicros); }
EMSCRIPTEN_KEEPALIVE double asmquestLongestFrameMicros() { return static_cast<double>(webConsole().longestFrameMicros); }
EMSCRIPTEN_KEEPALIVE double asmquestMeanFrameMicros() {
    const WebConsole& con = webConsole();
    return con.framesMeasured ? static_cast<double>(con.frameMicrosTotal) / static_cast<double>(con.framesMeasured) : 0;
}
EMSCRIPTEN_KEEPALIVE void asmquestResetFrameTimes() {
    WebConsole& con = webConsole();
    con.longestFrameMicros = con.frameMicrosTotal = con.framesMeasured = 0;
}
}

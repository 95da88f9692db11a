// The game in a browser page: xterm.js as the console, progress in the page's
// IndexedDB (mounted as the working directory by web/asmquest.js before main).
#include <emscripten.h>

#include <algorithm>
#include <string>

#include "console/web_console.h"
#include "game/game.h"
#include "game/panels.h"
#include "main/host.h"
#include "run/step_history.h"
#include "text/gbk_text.h"

WebConsole& webConsole() {
    // Never destroyed, as the terminal console: the page outlives main's frames.
    static WebConsole* instance = [] {
        auto* con = new WebConsole();
        con->takePaste = [](std::string&& gbk) { editorPanel.clipboard = std::move(gbk); };
        return con;
    }();
    return *instance;
}

namespace {
// The text the page asked for last (GBK): asmquestText() points into it.
std::string pageText;
} // namespace

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
// The game's clipboard, copied to the system one after each Ctrl+C or Ctrl+X.
EMSCRIPTEN_KEEPALIVE double asmquestCopies() { return editorPanel.copies; }
EMSCRIPTEN_KEEPALIVE int asmquestTakeClipboard() {
    pageText = editorPanel.clipboard;
    return static_cast<int>(pageText.size());
}
// What a screen reader is told: the console panel's lines ended after the
// count the page has read, the level and its text, the passes so far.
EMSCRIPTEN_KEEPALIVE double asmquestConsoleLinesEnded() { return static_cast<double>(consolePanel.linesEnded); }
EMSCRIPTEN_KEEPALIVE int asmquestTakeConsoleLines(double since) {
    pageText.clear();
    const auto& lines = consolePanel.lines;
    const std::uint64_t ended = consolePanel.linesEnded, kept = lines.size() - 1;
    const std::uint64_t first = ended - kept;
    for (std::uint64_t serial = std::max<std::uint64_t>(first, static_cast<std::uint64_t>(since)); serial < ended;
         ++serial)
        pageText += lines[static_cast<std::size_t>(serial - first)] + "\n";
    return static_cast<int>(pageText.size());
}
EMSCRIPTEN_KEEPALIVE int asmquestLevel() { return game.level; }
EMSCRIPTEN_KEEPALIVE int asmquestPassCount() { return game.passCount; }
EMSCRIPTEN_KEEPALIVE int asmquestTakeLevelText() {
    pageText = game.levelText;
    return static_cast<int>(pageText.size());
}
// The screen as the game wrote it, rows of UTF-8 text (a Chinese character once).
EMSCRIPTEN_KEEPALIVE int asmquestTakeScreen() {
    const TerminalScreen& s = webConsole().screen();
    pageText.clear();
    for (int y = 0; y < s.height(); ++y) {
        for (int x = 0; x < s.width(); ++x) {
            const std::uint8_t b = s.cell(x, y).character;
            const std::uint8_t next = x + 1 < s.width() ? s.cell(x + 1, y).character : 0;
            const bool paired = b >= 0x81 && b <= 0xFE && next >= 0x40 && next <= 0xFE && next != 0x7F &&
                                gbkPair(b, next).length;
            const GbkGlyph& g = paired ? gbkPair(b, next) : gbkSingle(b);
            if (b == 0) pageText += ' ';
            else if (g.length) pageText.append(g.utf8, g.length);
            else pageText += '?';
            if (paired) ++x;
        }
        pageText += '\n';
    }
    return static_cast<int>(pageText.size());
}
EMSCRIPTEN_KEEPALIVE const char* asmquestText() { return pageText.data(); }
EMSCRIPTEN_KEEPALIVE void asmquestResetFrameTimes() {
    WebConsole& con = webConsole();
    con.longestFrameMicros = con.frameMicrosTotal = con.framesMeasured = 0;
}
}

// A panel of messages that keeps what scrolls off its top. Printing goes to
// the grid exactly as window::print places it (the newest rows) and into a
// log of the last keptLines lines. The wheel over the panel and PageUp,
// PageDown, Home and End while it is in front scroll back through the log;
// new output jumps to the end. With more rows than the panel shows, the
// bottom border says which rows show.
//
//   LogPanel console("控制台", 119, 15, 36, 11);
//   console.printLogged(format, args);   // a va_list, as window::print
//   console.clearText();                 // the grid and the log
#pragma once
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "ui/window.h"

struct LogPanel : window {
    static constexpr std::size_t keptLines = 1000;

    std::deque<std::string> lines{1}; // the last one is still open
    bool following = true;            // showing the newest rows: the grid itself
    std::int64_t top = 0;             // first log row shown while scrolled back
    std::uint64_t linesEnded = 0;     // every line ever ended, for readers that follow the log

    LogPanel(std::string title, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height);

    void printLogged(const char* format, va_list args);
    void clearText() override;
    // Rows of the log laid out at the panel's width.
    const std::vector<std::string>& rows();

private:
    std::vector<std::string> laidOut;
    std::int64_t laidOutWidth = -1;
    bool laidOutStale = true;

    void drawView();
    void scroll(const INPUT_RECORD& record);
};

#include "ui/panel_scroll.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
constexpr std::int64_t wheelRows = 3;
constexpr std::int64_t wholeWay = 1 << 20; // more rows than any panel holds; callers clamp

struct TextScroll {
    std::string shown;             // the text the rows were laid out from
    std::int64_t layoutWidth = -1; // and the width
    std::vector<std::string> rows;
    std::int64_t top = 0;
};

} // namespace

std::vector<std::string> layOut(const std::string& text, std::int64_t width) {
    std::vector<std::string> rows(1);
    if (width <= 0) return rows;
    std::int64_t column = 0;
    std::size_t lastBytes = 0; // the row's last character, when it is not its first
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (b == '\n') {
            rows.emplace_back();
            column = 0;
            lastBytes = 0;
            continue;
        }
        const bool pair = i + 1 < text.size() && isGbkLead(b) && isGbkTrail(static_cast<std::uint8_t>(text[i + 1]));
        const std::int64_t cells = pair ? 2 : 1;
        if (column + cells > width && column > 0) {
            // Punctuation stays with the character before it, as window::print keeps it.
            std::string carried;
            if (lastBytes && closingPunctuationLength(text.c_str() + i)) {
                std::string& row = rows.back();
                carried = row.substr(row.size() - lastBytes);
                row.erase(row.size() - lastBytes);
            }
            rows.emplace_back(std::move(carried));
            column = static_cast<std::int64_t>(rows.back().size());
        }
        lastBytes = column > 0 ? static_cast<std::size_t>(cells) : 0;
        rows.back().append(text, i, static_cast<std::size_t>(cells));
        column += cells;
        if (pair) ++i;
    }
    if (rows.size() > 1 && rows.back().empty()) rows.pop_back();
    return rows;
}

void drawScrollPosition(const window& panel, std::int64_t top, std::int64_t total) {
    if (total <= panel.height()) return;
    // Kept between frames so that drawing it allocates nothing.
    static std::string label;
    char where[64];
    label.reserve(sizeof where);
    std::snprintf(where, sizeof where, "第%lld-%lld行/共%lld行", static_cast<long long>(top + 1),
                  static_cast<long long>(std::min(top + panel.height(), total)), static_cast<long long>(total));
    label = where;
    // Drawn before the frame, so it takes its cells of the bottom border.
    drawText(label, panel.x + 1, panel.bottom, panel.width() - 1, 1, panel.colour);
}

namespace {

void fill(window& panel, TextScroll& view, const std::string& text) {
    const std::int64_t height = panel.height();
    if (text != view.shown || view.layoutWidth != panel.width()) {
        if (text != view.shown) view.top = 0;
        view.shown = text;
        view.layoutWidth = panel.width();
        view.rows = layOut(text, panel.width());
    }
    const auto total = static_cast<std::int64_t>(view.rows.size());
    view.top = std::clamp<std::int64_t>(view.top, 0, std::max<std::int64_t>(total - height, 0));
    panel.clearText();
    for (std::int64_t r = 0; r < height && view.top + r < total; ++r) {
        const std::string& row = view.rows[static_cast<std::size_t>(view.top + r)];
        for (std::size_t c = 0; c < row.size() && c < panel.grid.size(); ++c)
            panel.grid[c][static_cast<std::size_t>(r)] = ScreenCell{static_cast<std::uint8_t>(row[c]), panel.colour};
    }
    drawScrollPosition(panel, view.top, total);
}
} // namespace

std::int64_t scrollRows(const INPUT_RECORD& record, std::int64_t pageRows) {
    if (record.EventType == MOUSE_EVENT) {
        const MOUSE_EVENT_RECORD& mouse = record.Event.MouseEvent;
        if (!(mouse.dwEventFlags & MOUSE_WHEELED)) return 0;
        // The high word is the wheel's signed turn: positive away from the player, up the text.
        return static_cast<std::int16_t>(mouse.dwButtonState >> 16) > 0 ? -wheelRows : wheelRows;
    }
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return 0;
    const std::int64_t page = std::max<std::int64_t>(pageRows - 1, 1);
    switch (record.Event.KeyEvent.wVirtualKeyCode) {
    case VK_PRIOR: return -page;
    case VK_NEXT: return page;
    case VK_HOME: return -wholeWay;
    case VK_END: return wholeWay;
    default: return 0;
    }
}

void installTextScroll(window& panel, std::function<const std::string&()> source) {
    auto view = std::make_shared<TextScroll>();
    window* target = &panel;
    panel.drawHooks.push_back([view, target, source] { fill(*target, *view, source()); });
    panel.inputHandlers.push_back([view, target](INPUT_RECORD record) {
        view->top += scrollRows(record, target->height()); // clamped when drawn
    });
}

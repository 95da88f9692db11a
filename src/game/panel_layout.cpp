// The panels' layout. At the first start the editor is in front (it takes the
// keys) with the console, the level text, the registers and the CPU control
// beside it; the other panels wait behind. The default layout fits 161 x 33;
// a larger window gives its extra columns to the editor and the level text
// and its extra rows to them and the console, also when the window grows or
// shrinks during play, as long as no panel was dragged.
//
// Positions, visibility and order are kept in levels/布局.txt, one panel a
// line, front first: "name x y visible", after "window W H" (the size the
// positions were laid out for) and "speed 0|1" (慢速/快速). Positions that
// are the default ones for their window mean the default layout, which then
// follows the current window; any other positions are the player's and stay
// as left. A missing or damaged file means the default layout, silently; the
// file is written under a temporary name and renamed, like the progress files.
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "game/game.h"
#include "shell/host_files.h"
#include "game/panels.h"
#include "console/console_screen.h"
#include "game/progress_folder.h"
#include "ui/log_panel.h"
#include "console/platform.h"
#include "ui/window_order.h"

namespace {

constexpr std::int64_t minimumWidth = 161, minimumHeight = 33;

struct NamedPanel {
    const char* name;
    window* panel;
};

// The start-up dialog and the 选关 list are no part of the layout.
constexpr std::size_t panelCount = 12;
std::array<NamedPanel, panelCount> namedPanels() {
    return {{{"console", &consolePanel},
             {"editor", &editorPanel},
             {"registers", &registerPanel},
             {"memory", &memoryPanel},
             {"stack", &stackPanel},
             {"interrupts", &interruptPanel},
             {"screen", &screenPanel},
             {"keyboard", &keyboardPanel},
             {"level", &levelPanel},
             {"guide", &guidePanel},
             {"cpu", &cpuControlPanel},
             {"performance", &perfPanel}}};
}

struct PanelState {
    std::int64_t x = 0, y = 0;
    bool visible = false;
    std::size_t order = 0; // index in windowList
    bool operator==(const PanelState&) const = default;
};
struct Layout {
    std::array<PanelState, panelCount> panels{};
    std::uint8_t fast = 0;
    std::int64_t windowWidth = minimumWidth, windowHeight = minimumHeight; // laid out for
    bool operator==(const Layout&) const = default;
};

struct Geometry {
    std::int64_t x = 0, y = 0, width = 0, height = 0;
};
using Geometries = std::array<Geometry, panelCount>;

// The layout last written or read; a frame writes only when it changed.
Layout kept{};
// The panels as constructed: the default layout of a 161 x 33 window.
Geometries smallest{};
// The window size the panels were last laid out for.
std::int64_t laidOutWidth = minimumWidth, laidOutHeight = minimumHeight;

// The default layout of a window: the editor and the level text share the
// extra columns, and they and the console take the extra rows; the panels
// right of them move along. Smaller windows keep the smallest layout.
Geometries defaultGeometry(std::int64_t windowWidth, std::int64_t windowHeight) {
    const std::int64_t dx = std::max<std::int64_t>(windowWidth - minimumWidth, 0);
    const std::int64_t dy = std::max<std::int64_t>(windowHeight - minimumHeight, 0);
    const std::int64_t editorExtra = dx / 2;
    Geometries g = smallest;
    auto at = [&](window& w) -> Geometry& {
        const auto panels = namedPanels();
        for (std::size_t i = 0; i < panelCount; ++i)
            if (panels[i].panel == &w) return g[i];
        return g[0];
    };
    at(editorPanel).width += editorExtra;
    at(editorPanel).height += dy;
    at(guidePanel).height += dy;
    for (window* middle : {&levelPanel, &memoryPanel, &stackPanel, &interruptPanel, &screenPanel})
        at(*middle).x += editorExtra;
    at(levelPanel).width += dx - editorExtra;
    at(levelPanel).height += dy;
    at(memoryPanel).height += dy;
    for (window* side : {static_cast<window*>(&registerPanel), &cpuControlPanel, static_cast<window*>(&consolePanel), &perfPanel})
        at(*side).x += dx;
    at(consolePanel).height += dy;
    at(perfPanel).y += dy;
    return g;
}

bool positionsAre(const Layout& layout, const Geometries& geometry) {
    for (std::size_t i = 0; i < panelCount; ++i)
        if (layout.panels[i].x != geometry[i].x || layout.panels[i].y != geometry[i].y) return false;
    return true;
}

// A new size keeps the text already in the grid where it still fits.
void resizeWindow(window& w, std::int64_t width, std::int64_t height) {
    w.right = w.x + width;
    w.bottom = w.y + height;
    w.closeBox.offsetX = w.right;
    w.closeBox.offsetY = w.y - 3;
    w.grid.resize(static_cast<std::size_t>(width), std::vector<ScreenCell>(static_cast<std::size_t>(height)));
    for (auto& column : w.grid) column.resize(static_cast<std::size_t>(height), ScreenCell{' ', w.colour});
}

// A resized console shows the newest rows of its log that now fit, with the
// cursor where the next message goes, as printing would have left them.
void refillFromLog(LogPanel& panel) {
    const std::vector<std::string>& rows = panel.rows();
    const auto total = static_cast<std::int64_t>(rows.size());
    const std::int64_t height = panel.height(), first = std::max<std::int64_t>(total - height, 0);
    for (auto& column : panel.grid) std::fill(column.begin(), column.end(), ScreenCell{' ', panel.colour});
    for (std::int64_t r = 0; first + r < total && r < height; ++r) {
        const std::string& text = rows[static_cast<std::size_t>(first + r)];
        for (std::size_t c = 0; c < text.size() && c < panel.grid.size(); ++c)
            panel.grid[c][static_cast<std::size_t>(r)].character = static_cast<std::uint8_t>(text[c]);
    }
    const std::int64_t shown = std::min(total, height);
    if (panel.lines.back().empty()) panel.setCursor(0, shown);
    else panel.setCursor(static_cast<std::int64_t>(rows.back().size()), shown - 1);
}

void layOut(std::int64_t windowWidth, std::int64_t windowHeight) {
    const Geometries g = defaultGeometry(windowWidth, windowHeight);
    const auto panels = namedPanels();
    for (std::size_t i = 0; i < panelCount; ++i) {
        window& w = *panels[i].panel;
        moveWindow(w, g[i].x - w.x, g[i].y - w.y);
        resizeWindow(w, g[i].width, g[i].height);
    }
    editorPanel.updateGrid();
    refillFromLog(consolePanel);
    laidOutWidth = windowWidth, laidOutHeight = windowHeight;
}

Layout currentLayout() {
    Layout layout{};
    const auto panels = namedPanels();
    for (std::size_t i = 0; i < panelCount; ++i) {
        const window& w = *panels[i].panel;
        const auto at = std::find(windowList.begin(), windowList.end(), &w);
        layout.panels[i] = {w.x, w.y, w.visible, static_cast<std::size_t>(at - windowList.begin())};
    }
    layout.fast = game.fast ? 1 : 0;
    layout.windowWidth = laidOutWidth, layout.windowHeight = laidOutHeight;
    return layout;
}

std::string layoutText(const Layout& layout) {
    const auto panels = namedPanels();
    std::array<std::size_t, panelCount> frontFirst{};
    for (std::size_t i = 0; i < panelCount; ++i) frontFirst[i] = i;
    std::sort(frontFirst.begin(), frontFirst.end(),
              [&](std::size_t a, std::size_t b) { return layout.panels[a].order < layout.panels[b].order; });
    char head[64];
    std::snprintf(head, sizeof head, "window %lld %lld\nspeed %d\n", static_cast<long long>(layout.windowWidth),
                  static_cast<long long>(layout.windowHeight), layout.fast);
    std::string text = head;
    for (std::size_t i : frontFirst) {
        char line[96];
        const PanelState& p = layout.panels[i];
        std::snprintf(line, sizeof line, "%s %lld %lld %d\n", panels[i].name, static_cast<long long>(p.x),
                      static_cast<long long>(p.y), p.visible ? 1 : 0);
        text += line;
    }
    return text;
}

// Read through the host's file seam: a layout file longer than any layout
// this game writes is a damaged one.
bool readSmallFile(const std::string& path, std::string& bytes) {
    return hostReadFile(path, bytes, HostFileMode::binary) == HostRead::read && bytes.size() <= 4096;
}

// Every panel named once, with numbers in reach of the screen; anything
// else is a damaged file. A file without the window and speed lines (an
// older game's) was laid out for 161 x 33, at 慢速.
bool parseLayout(const std::string& text, std::array<std::size_t, panelCount>& frontFirst, Layout& layout) {
    const auto panels = namedPanels();
    std::array<bool, panelCount> seen{};
    std::istringstream in(text);
    std::string name;
    std::size_t count = 0;
    long long x = 0, y = 0;
    int flag = 0;
    while (in >> name) {
        if (name == "window") {
            if (!(in >> x >> y) || x < 1 || x > 1024 || y < 1 || y > 1024) return false;
            layout.windowWidth = x, layout.windowHeight = y;
            continue;
        }
        if (name == "speed") {
            if (!(in >> flag) || (flag != 0 && flag != 1)) return false;
            layout.fast = static_cast<std::uint8_t>(flag);
            continue;
        }
        if (!(in >> x >> y >> flag) || count == panelCount || (flag != 0 && flag != 1)) return false;
        if (x < -1000 || x > 1000 || y < -1000 || y > 1000) return false;
        const auto it = std::find_if(panels.begin(), panels.end(), [&](const NamedPanel& p) { return name == p.name; });
        if (it == panels.end()) return false;
        const auto i = static_cast<std::size_t>(it - panels.begin());
        if (seen[i]) return false;
        seen[i] = true;
        layout.panels[i] = {x, y, flag == 1, count};
        frontFirst[count++] = i;
    }
    return count == panelCount;
}

} // namespace

std::string layoutPath() { return hostPath("levels", "布局.txt"); }

void arrangeDefaultLayout() {
    const auto panels = namedPanels();
    for (std::size_t i = 0; i < panelCount; ++i) {
        const window& w = *panels[i].panel;
        smallest[i] = {w.x, w.y, w.width(), w.height()};
    }
    const ConsoleSize size = visibleConsoleSize();
    layOut(size.width, size.height);
    // Raised back to front, so the editor ends in front.
    for (window* w : std::initializer_list<window*>{&cpuControlPanel, &registerPanel, &levelPanel, &consolePanel})
        w->raise();
    editorPanel.raise();
    for (window* hidden : {&perfPanel, &choicePanel, &levelListPanel})
        if (!hidden->visible) hidden->hide(); // hidden panels stay at the back
}

void restoreLayout() {
    kept = currentLayout();
    std::string text;
    if (!hostKeepsFiles() || !readSmallFile(layoutPath(), text)) return;
    std::array<std::size_t, panelCount> frontFirst{};
    Layout layout{};
    if (!parseLayout(text, frontFirst, layout)) return;
    const auto panels = namedPanels();
    // The player's positions are kept where this window (at least 161 x 33)
    // still shows the title row, so no panel comes back out of reach.
    const ConsoleSize size = visibleConsoleSize();
    const std::int64_t maxX = std::max(size.width, minimumWidth) - 11, maxY = std::max(size.height, minimumHeight) - 2;
    const bool player = !positionsAre(layout, defaultGeometry(layout.windowWidth, layout.windowHeight));
    for (std::size_t i = 0; i < panelCount; ++i) {
        window& w = *panels[i].panel;
        const PanelState& p = layout.panels[i];
        if (player) moveWindow(w, std::clamp<std::int64_t>(p.x, 1, maxX) - w.x, std::clamp<std::int64_t>(p.y, 3, maxY) - w.y);
        if (w.visible && !p.visible) w.hide();
        else if (!w.visible && p.visible) w.toggle();
    }
    // The named panels in the file's order, in front of any other window.
    std::vector<window*> order;
    for (std::size_t i : frontFirst) order.push_back(panels[i].panel);
    for (window* w : windowList)
        if (std::find(order.begin(), order.end(), w) == order.end()) order.push_back(w);
    windowList = order;
    game.fast = layout.fast;
    kept = currentLayout();
}

void keepLayout() {
    // Not in the middle of a drag: the panel is saved where it is let go.
    if (lastMouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) return;
    const ConsoleSize size = visibleConsoleSize();
    if ((size.width != laidOutWidth || size.height != laidOutHeight) &&
        positionsAre(currentLayout(), defaultGeometry(laidOutWidth, laidOutHeight)))
        layOut(size.width, size.height);
    if (!hostKeepsFiles()) return;
    const Layout now = currentLayout();
    if (now == kept) return;
    kept = now;
    if (!progressWritable()) return; // a read-only game, or none yet past the size prompt
    ensureLevelsDirectory();
    hostReplaceFile(layoutPath(), layoutText(now), HostFileMode::binary);
}

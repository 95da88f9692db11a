// The panels' layout. At the first start the editor is in front (it takes the
// keys) with the console, the level text, the registers and the CPU control
// beside it; the other panels wait behind. Positions, visibility and order are
// kept in levels/布局.txt, one panel a line, front first: "name x y visible".
// A missing or damaged file means the default layout, silently; the file is
// written under a temporary name and renamed, like the progress files.
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "game/game.h"
#include "shell/host_files.h"
#include "game/panels.h"
#include "ui/platform.h"
#include "ui/window_order.h"

namespace {

struct NamedPanel {
    const char* name;
    window* panel;
};

// The start-up dialog is no part of the layout.
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
using Layout = std::array<PanelState, panelCount>;

// The layout last written or read; a frame writes only when it changed.
Layout kept{};

Layout currentLayout() {
    Layout layout{};
    const auto panels = namedPanels();
    for (std::size_t i = 0; i < panelCount; ++i) {
        const window& w = *panels[i].panel;
        const auto at = std::find(windowList.begin(), windowList.end(), &w);
        layout[i] = {w.x, w.y, w.visible, static_cast<std::size_t>(at - windowList.begin())};
    }
    return layout;
}

std::string layoutText(const Layout& layout) {
    const auto panels = namedPanels();
    std::array<std::size_t, panelCount> frontFirst{};
    for (std::size_t i = 0; i < panelCount; ++i) frontFirst[i] = i;
    std::sort(frontFirst.begin(), frontFirst.end(),
              [&](std::size_t a, std::size_t b) { return layout[a].order < layout[b].order; });
    std::string text;
    for (std::size_t i : frontFirst) {
        char line[96];
        std::snprintf(line, sizeof line, "%s %lld %lld %d\n", panels[i].name, static_cast<long long>(layout[i].x),
                      static_cast<long long>(layout[i].y), layout[i].visible ? 1 : 0);
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
// else is a damaged file. Positions are kept where a 161 x 33 window still
// shows the title row, so no panel comes back out of reach.
bool parseLayout(const std::string& text, std::array<std::size_t, panelCount>& frontFirst, Layout& layout) {
    const auto panels = namedPanels();
    std::array<bool, panelCount> seen{};
    std::istringstream in(text);
    std::string name;
    std::size_t count = 0;
    long long x = 0, y = 0;
    int visible = 0;
    while (in >> name) {
        if (!(in >> x >> y >> visible) || count == panelCount || (visible != 0 && visible != 1)) return false;
        if (x < -1000 || x > 1000 || y < -1000 || y > 1000) return false;
        const auto it = std::find_if(panels.begin(), panels.end(), [&](const NamedPanel& p) { return name == p.name; });
        if (it == panels.end()) return false;
        const auto i = static_cast<std::size_t>(it - panels.begin());
        if (seen[i]) return false;
        seen[i] = true;
        layout[i] = {std::clamp<long long>(x, 1, 150), std::clamp<long long>(y, 3, 31), visible == 1, count};
        frontFirst[count++] = i;
    }
    return count == panelCount;
}

} // namespace

std::string layoutPath() { return hostPath("levels", "布局.txt"); }

void arrangeDefaultLayout() {
    // Raised back to front, so the editor ends in front.
    for (window* w : std::initializer_list<window*>{&cpuControlPanel, &registerPanel, &levelPanel, &consolePanel})
        w->raise();
    editorPanel.raise();
    for (window* hidden : {&perfPanel, &choicePanel})
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
    for (std::size_t i = 0; i < panelCount; ++i) {
        window& w = *panels[i].panel;
        moveWindow(w, layout[i].x - w.x, layout[i].y - w.y);
        if (w.visible && !layout[i].visible) w.hide();
        else if (!w.visible && layout[i].visible) w.toggle();
    }
    // The named panels in the file's order, in front of any other window.
    std::vector<window*> order;
    for (std::size_t i : frontFirst) order.push_back(panels[i].panel);
    for (window* w : windowList)
        if (std::find(order.begin(), order.end(), w) == order.end()) order.push_back(w);
    windowList = order;
    kept = currentLayout();
}

void keepLayout() {
    if (!hostKeepsFiles()) return;
    // Not in the middle of a drag: the panel is saved where it is let go.
    if (lastMouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) return;
    const Layout now = currentLayout();
    if (now == kept) return;
    kept = now;
    ensureLevelsDirectory();
    hostReplaceFile(layoutPath(), layoutText(now), HostFileMode::binary);
}

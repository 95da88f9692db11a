#include "shell/manual_view.h"

#include <algorithm>

namespace {
constexpr std::int64_t indentPerLevel = 2;

bool isTitled(const ManualNode& node) {
    return node.kind == 2 && !node.children.empty() && node.children.front().kind == 1;
}

// Bytes of text that fit in width columns without splitting a GBK character.
std::size_t fitting(const char* text, std::size_t length, std::int64_t width) {
    if (width <= 0) return 0;
    std::size_t used = 0;
    while (used < length) {
        const auto b = static_cast<std::uint8_t>(text[used]);
        const std::size_t step =
            (used + 1 < length && isGbkLead(b) && isGbkTrail(static_cast<std::uint8_t>(text[used + 1]))) ? 2 : 1;
        if (static_cast<std::int64_t>(used + step) > width) break;
        used += step;
    }
    return used;
}
} // namespace

ManualView::ManualView(window& panel_, const ManualNode& root_) : panel(panel_), root(root_) {
    // The page opens on the manual's two sections.
    if (isTitled(root)) {
        open.insert(&root);
        selected = &root;
    }
}

void ManualView::toggle(const ManualNode* heading) {
    if (!heading) return;
    if (!open.erase(heading)) open.insert(heading);
    stale = true;
}

const std::vector<ManualView::Row>& ManualView::page() {
    if (stale) rebuild();
    return rows;
}

std::size_t ManualView::selectedRow() {
    page();
    return selectedIndex;
}

std::size_t ManualView::visibleRows() const {
    return static_cast<std::size_t>(std::max<std::int64_t>(panel.height(), 1));
}

void ManualView::rebuild() {
    rows.clear();
    addNode(root, 0);
    stale = false;
    // The selection follows its heading; when that heading has gone, the
    // nearest heading above its old place takes over.
    std::size_t found = rows.size();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].heading && rows[i].heading == selected) found = i;
    if (found == rows.size()) {
        found = std::min(selectedIndex, rows.empty() ? 0 : rows.size() - 1);
        while (found > 0 && !rows[found].heading) --found;
        while (found < rows.size() && !rows[found].heading) ++found;
        selected = found < rows.size() ? rows[found].heading : nullptr;
    }
    selectedIndex = found < rows.size() ? found : 0;
    const std::size_t lastTop = rows.size() > visibleRows() ? rows.size() - visibleRows() : 0;
    firstRow = std::min(firstRow, lastTop);
}

void ManualView::addNode(const ManualNode& node, std::int64_t depth) {
    if (node.kind == 1) {
        addText(node.text, depth * indentPerLevel);
        return;
    }
    if (!isTitled(node)) {
        for (const ManualNode& child : node.children) addNode(child, depth);
        return;
    }
    const ManualNode& title = node.children.front();
    rows.push_back(Row{title.text.c_str(), title.text.size(), depth * indentPerLevel, &node});
    if (!isOpen(&node)) return;
    // A title followed by one list: that list is the content. Otherwise every
    // node after the title is content of its own.
    if (node.children.size() == 2 && node.children[1].kind == 2) {
        for (const ManualNode& child : node.children[1].children) addNode(child, depth + 1);
        return;
    }
    for (std::size_t i = 1; i < node.children.size(); ++i) addNode(node.children[i], depth + 1);
}

void ManualView::addText(const std::string& text, std::int64_t indent) {
    const std::int64_t width = std::max<std::int64_t>(panel.width() - indent, 8);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        // Long lines continue on the next row at the same indentation.
        std::size_t from = start;
        do {
            std::size_t take = fitting(text.data() + from, end - from, width);
            if (take == 0 && from < end) take = 1;
            rows.push_back(Row{text.data() + from, take, indent, nullptr});
            from += take;
        } while (from < end);
        start = end + 1;
    }
}

void ManualView::keepSelectionVisible() {
    const std::size_t height = visibleRows();
    if (selectedIndex < firstRow) firstRow = selectedIndex;
    else if (selectedIndex >= firstRow + height) firstRow = selectedIndex - height + 1;
}

void ManualView::selectHeading(std::ptrdiff_t step) {
    page();
    std::size_t i = selectedIndex;
    while (true) {
        if (step < 0 ? i == 0 : i + 1 >= rows.size()) return;
        i = step < 0 ? i - 1 : i + 1;
        if (rows[i].heading) break;
    }
    selectedIndex = i;
    selected = rows[i].heading;
    keepSelectionVisible();
}

void ManualView::scroll(std::ptrdiff_t rowsBy) {
    page();
    const std::size_t height = visibleRows();
    const std::size_t lastTop = rows.size() > height ? rows.size() - height : 0;
    const std::ptrdiff_t wanted = static_cast<std::ptrdiff_t>(firstRow) + rowsBy;
    firstRow = static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(wanted, 0, static_cast<std::ptrdiff_t>(lastTop)));
    // A selection scrolled out of sight moves to the first heading in view.
    if (selectedIndex >= firstRow && selectedIndex < firstRow + height) return;
    for (std::size_t i = firstRow; i < rows.size() && i < firstRow + height; ++i) {
        if (rows[i].heading) {
            selectedIndex = i;
            selected = rows[i].heading;
            return;
        }
    }
}

void ManualView::onKey(const KEY_EVENT_RECORD& key) {
    if (!key.bKeyDown) return;
    page();
    const ManualNode* current = rows.empty() ? nullptr : rows[selectedIndex].heading;
    const auto pageRows = static_cast<std::ptrdiff_t>(visibleRows());
    switch (key.wVirtualKeyCode) {
    case VK_UP: selectHeading(-1); break;
    case VK_DOWN: selectHeading(1); break;
    case VK_RETURN:
    case VK_SPACE: toggle(current); break;
    case VK_RIGHT:
        if (current && !isOpen(current)) toggle(current);
        break;
    case VK_LEFT:
        if (current && isOpen(current)) {
            toggle(current);
        } else if (current) {
            // Already closed: go up to the heading that holds it.
            const std::int64_t indent = rows[selectedIndex].indent;
            for (std::size_t i = selectedIndex; i-- > 0;) {
                if (rows[i].heading && rows[i].indent < indent) {
                    selectedIndex = i;
                    selected = rows[i].heading;
                    keepSelectionVisible();
                    break;
                }
            }
        }
        break;
    // A page of text without a heading keeps the selection out of sight
    // rather than scrolling back to it.
    case VK_PRIOR: return scroll(-pageRows);
    case VK_NEXT: return scroll(pageRows);
    case VK_HOME: return scroll(-static_cast<std::ptrdiff_t>(rows.size()));
    case VK_END: return scroll(static_cast<std::ptrdiff_t>(rows.size()));
    default: break;
    }
    page();
    keepSelectionVisible();
}

void ManualView::onMouse(const MOUSE_EVENT_RECORD& mouse) {
    if (mouse.dwEventFlags & MOUSE_WHEELED) {
        const auto delta = static_cast<std::int16_t>(mouse.dwButtonState >> 16);
        scroll(delta > 0 ? -3 : 3);
        return;
    }
    // Only the press itself: a held button moving over headings toggles nothing.
    const bool pressed = (mouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) != 0;
    const bool wasPressed = (lastMouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) != 0;
    if (!pressed || wasPressed) return;
    const std::int64_t column = mouse.dwMousePosition.X - panel.x;
    const std::int64_t row = mouse.dwMousePosition.Y - panel.y;
    if (column < 0 || column >= panel.width() || row < 0 || row >= panel.height()) return;
    page();
    const std::size_t index = firstRow + static_cast<std::size_t>(row);
    if (index >= rows.size() || !rows[index].heading) return;
    selectedIndex = index;
    selected = rows[index].heading;
    toggle(selected);
}

void ManualView::handleInput(const INPUT_RECORD& record) {
    if (record.EventType == KEY_EVENT) onKey(record.Event.KeyEvent);
    else if (record.EventType == MOUSE_EVENT) onMouse(record.Event.MouseEvent);
}

void ManualView::fill() {
    page();
    const std::uint16_t plain = panel.colour;
    for (auto& column : panel.grid) std::fill(column.begin(), column.end(), ScreenCell{' ', plain});
    const auto width = static_cast<std::int64_t>(panel.grid.size());
    const std::int64_t height = panel.grid.empty() ? 0 : static_cast<std::int64_t>(panel.grid.front().size());
    auto put = [&](std::int64_t c, std::int64_t r, char ch, std::uint16_t attribute) {
        if (c < 0 || c >= width) return;
        panel.grid[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)] = {static_cast<std::uint8_t>(ch), attribute};
    };
    for (std::int64_t r = 0; r < height; ++r) {
        const std::size_t index = firstRow + static_cast<std::size_t>(r);
        if (index >= rows.size()) break;
        const Row& row = rows[index];
        std::int64_t c = row.indent;
        std::uint16_t attribute = plain;
        std::size_t length = row.length;
        if (row.heading) {
            if (index == selectedIndex) attribute = selectedColour;
            put(c++, r, isOpen(row.heading) ? '-' : '+', attribute);
            put(c++, r, ' ', attribute);
        }
        // A heading too long for the row is cut before a whole character.
        length = std::min(length, fitting(row.text, length, width - c));
        for (std::size_t i = 0; i < length; ++i) put(c++, r, row.text[i], attribute);
    }
    panel.cursorX = 0;
    panel.cursorY = 0;
}

std::shared_ptr<ManualView> installManualView(window& panel) {
    auto view = std::make_shared<ManualView>(panel, manualRoot);
    panel.drawHooks.push_back([view] { view->fill(); });
    panel.inputHandlers.push_back([view](INPUT_RECORD record) { view->handleInput(record); });
    // Its moving keys and the heading toggles; typed text goes on to the editor.
    panel.ownsKey = [](const KEY_EVENT_RECORD& key) {
        switch (key.wVirtualKeyCode) {
        case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_RETURN: case VK_SPACE:
        case VK_PRIOR: case VK_NEXT: case VK_HOME: case VK_END: return true;
        default: return false;
        }
    };
    return view;
}

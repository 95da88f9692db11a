#include "game/level_select.h"

#include <algorithm>
#include <cstdio>

#include "game/custom_progress.h"
#include "game/game.h"
#include "levels/custom_level.h"
#include "levels/custom_level_files.h"
#include "game/panels.h"
#include "ui/panel_scroll.h"

namespace {

// The list as last opened, its selected entry and its first row shown.
struct LevelList {
    std::vector<LevelChoice> choices;
    std::size_t selected = 0;
    std::size_t top = 0;
};
LevelList& list() {
    static LevelList instance;
    return instance;
}

constexpr std::uint8_t selectedColour = 0xF0;

std::size_t rows() { return static_cast<std::size_t>(std::max<std::int64_t>(levelListPanel.height(), 1)); }

void select(std::int64_t index) {
    LevelList& l = list();
    if (l.choices.empty()) return;
    l.selected = static_cast<std::size_t>(std::clamp<std::int64_t>(index, 0, static_cast<std::int64_t>(l.choices.size()) - 1));
    if (l.selected < l.top) l.top = l.selected;
    if (l.selected >= l.top + rows()) l.top = l.selected + 1 - rows();
}

// The entry's action may set a level up, which prints into panels: the list
// is hidden first and the action copied out of it.
void choose(std::size_t index) {
    if (index >= list().choices.size()) return;
    const std::function<void()> action = list().choices[index].action;
    levelListPanel.hide();
    if (action) action();
}

void drawList() {
    const LevelList& l = list();
    levelListPanel.clearText();
    for (std::size_t row = 0; row < rows() && l.top + row < l.choices.size(); ++row) {
        const LevelChoice& choice = l.choices[l.top + row];
        levelListPanel.setCursor(0, static_cast<std::int64_t>(row));
        levelListPanel.printf(" %-8s%s", choice.title.c_str(), choice.mark.c_str());
        if (l.top + row != l.selected) continue;
        for (auto& column : levelListPanel.grid) column[row].attribute = selectedColour;
    }
    levelListPanel.setCursor(0, static_cast<std::int64_t>(l.selected - l.top));
    // More entries below (the teachers' levels come after 第N关): the bottom
    // border says how many, drawn before the frame so it takes those cells.
    if (l.top + rows() < l.choices.size()) {
        char more[32];
        std::snprintf(more, sizeof more, "↓ 还有%zu项", l.choices.size() - l.top - rows());
        drawText(more, levelListPanel.x + 1, levelListPanel.bottom, levelListPanel.width() - 1, 1, levelListPanel.colour);
    }
}

void listInput(INPUT_RECORD record) {
    LevelList& l = list();
    const auto page = static_cast<std::int64_t>(rows());
    const auto selected = static_cast<std::int64_t>(l.selected);
    if (record.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        if (!key.bKeyDown) return;
        switch (key.wVirtualKeyCode) {
        case VK_UP: return select(selected - 1);
        case VK_DOWN: return select(selected + 1);
        case VK_PRIOR: return select(selected - (page - 1));
        case VK_NEXT: return select(selected + (page - 1));
        case VK_HOME: return select(0);
        case VK_END: return select(static_cast<std::int64_t>(l.choices.size()) - 1);
        case VK_RETURN: return choose(l.selected);
        case VK_ESCAPE: return levelListPanel.hide();
        default: return;
        }
    }
    if (record.EventType != MOUSE_EVENT) return;
    const MOUSE_EVENT_RECORD& mouse = record.Event.MouseEvent;
    if (const std::int64_t by = scrollRows(record, page); by != 0 && (mouse.dwEventFlags & MOUSE_WHEELED)) {
        const auto last = static_cast<std::int64_t>(l.choices.size()) - page;
        l.top = static_cast<std::size_t>(std::clamp<std::int64_t>(static_cast<std::int64_t>(l.top) + by, 0, std::max<std::int64_t>(last, 0)));
        return;
    }
    // A fresh press on an entry chooses it; held moves repeat nothing.
    const bool press = (mouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) &&
                       !(lastMouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) && mouse.dwEventFlags == 0;
    const std::int64_t row = mouse.dwMousePosition.Y - levelListPanel.y;
    const std::int64_t column = mouse.dwMousePosition.X - levelListPanel.x;
    if (!press || row < 0 || row >= page || column < 0 || column >= levelListPanel.width()) return;
    const std::size_t index = l.top + static_cast<std::size_t>(row);
    if (index < l.choices.size()) choose(index);
}

} // namespace

std::vector<LevelChoice> levelChoices() {
    std::vector<LevelChoice> choices;
    const unsigned highest = std::max<unsigned>(game.highestLevel, 1);
    for (unsigned level = 1; level <= highest; ++level) {
        char title[16];
        std::snprintf(title, sizeof title, "第%u关", level);
        // A level below the highest was completed: that is how the next was reached.
        choices.push_back({title, [level] { switchToLevel(level); }, level < highest ? "已通过" : ""});
    }
    // Then the teachers' levels, under their titles.
    for (const CustomLevelEntry& entry : customLevelEntries())
        choices.push_back({entry.title, [name = entry.fileName] { switchToCustomLevel(name); }, entry.broken ? "有误" : customLevelPassed(entry.fileName) ? "已通过" : ""});
    return choices;
}

void openLevelList() {
    if (startupQuestionOpen()) return;
    LevelList& l = list();
    l.choices = levelChoices();
    l.top = 0;
    std::int64_t current = static_cast<std::int64_t>(game.level) - 1;
    if (const CustomLevel* custom = customLevelFor(game.level)) // a teacher's level: its own entry
        for (std::size_t i = 0; i < l.choices.size(); ++i)
            if (l.choices[i].title == custom->title) current = static_cast<std::int64_t>(i);
    select(current);
    if (!levelListPanel.visible) levelListPanel.toggle();
    levelListPanel.raise();
}

void installLevelList() {
    levelListPanel.drawHooks.push_back(drawList);
    levelListPanel.inputHandlers.push_back(listInput);
    levelListPanel.ownsKey = ownsEveryKey;
}

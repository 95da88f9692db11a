// 选关: a list of the levels the player may go to, opened from the bar.
// Built-in levels 1 to the highest reached come first, completed ones
// marked; other sources of levels append their own entries to the list.
//
//   openLevelList();          // the bar button 选关
//   levelChoices();           // what the list offers, in order
#pragma once
#include <functional>
#include <string>
#include <vector>

struct LevelChoice {
    std::string title;            // "第3关"
    std::function<void()> action; // runs when the entry is chosen
    std::string mark;             // shown after the title: "已通过", or empty
};

std::vector<LevelChoice> levelChoices();
// Shows the list in front with the current level selected; nothing while the
// start-up question is open.
void openLevelList();
// The list's keys (Up/Down/PageUp/PageDown/Home/End, Enter, Esc), clicks and wheel.
void installLevelList();

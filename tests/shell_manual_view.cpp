// The manual shown in the 指南 panel: headings open and close by key and by
// click, the selection is drawn inverse, long pages scroll, and no input
// record of any kind breaks it.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "game/panels.h"
#include "shell/manual_view.h"
#include "test_support.h"

namespace {
INPUT_RECORD key(std::uint16_t vk, bool down = true) {
    INPUT_RECORD r = makeKeyRecord(vk, 0);
    r.Event.KeyEvent.bKeyDown = down ? 1 : 0;
    return r;
}

INPUT_RECORD mouse(int x, int y, std::uint32_t buttons, std::uint32_t flags = 0) {
    return makeMouseRecord(x, y, buttons, flags);
}

// One grid row of a panel as text, trailing blanks removed.
std::string rowText(const window& panel, std::size_t row) {
    std::string text;
    for (const auto& column : panel.grid) text += static_cast<char>(column[row].character);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::uint16_t rowColour(const window& panel, std::size_t row, std::size_t column) {
    return panel.grid[column][row].attribute;
}

int findRow(const window& panel, const std::string& text) {
    for (std::size_t r = 0; r < panel.grid[0].size(); ++r)
        if (rowText(panel, r) == text) return static_cast<int>(r);
    return -1;
}

void click(window& panel, int row) {
    dispatchInput(mouse(static_cast<int>(panel.x) + 4, static_cast<int>(panel.y) + row, FROM_LEFT_1ST_BUTTON_PRESSED));
    dispatchInput(mouse(static_cast<int>(panel.x) + 4, static_cast<int>(panel.y) + row, 0));
}

// The game's own 指南 panel, brought to the front as its bar button does.
void showGuide() {
    freshProgram();
    guidePanel.toggle();
    ASSERT_EQ(windowList.front(), &guidePanel);
    drawAllWindows();
}

TEST(ManualView, OpensOnTheTwoSectionsWithTheRootSelected) {
    showGuide();
    EXPECT_EQ(rowText(guidePanel, 0), "- 说明书");
    EXPECT_EQ(rowText(guidePanel, 1), "  + 操作指南");
    EXPECT_EQ(rowText(guidePanel, 2), "  + 指令集");
    EXPECT_EQ(rowText(guidePanel, 3), "");
    EXPECT_EQ(rowColour(guidePanel, 0, 0), ManualView::selectedColour);
    EXPECT_EQ(rowColour(guidePanel, 1, 2), guidePanel.colour);
}

TEST(ManualView, KeysMoveTheSelectionAndOpenAndCloseHeadings) {
    showGuide();
    dispatchInput(key(VK_DOWN));
    EXPECT_EQ(rowColour(guidePanel, 1, 2), ManualView::selectedColour);
    EXPECT_EQ(rowColour(guidePanel, 0, 0), guidePanel.colour);

    dispatchInput(key(VK_RETURN));
    EXPECT_EQ(rowText(guidePanel, 1), "  - 操作指南");
    EXPECT_EQ(rowText(guidePanel, 2).substr(0, 4), "    "); // the guide's text, indented under its heading
    EXPECT_GT(rowText(guidePanel, 2).size(), 10u);

    dispatchInput(key(VK_SPACE));
    EXPECT_EQ(rowText(guidePanel, 1), "  + 操作指南");
    EXPECT_EQ(rowText(guidePanel, 2), "  + 指令集");

    dispatchInput(key(VK_DOWN));
    dispatchInput(key(VK_RIGHT));
    EXPECT_EQ(rowText(guidePanel, 2), "  - 指令集");
    EXPECT_EQ(rowText(guidePanel, 3), "    + 字段");
    EXPECT_EQ(rowText(guidePanel, 4), "    + 标志位");
    EXPECT_EQ(rowText(guidePanel, 5), "    + 标签和数字");
    EXPECT_EQ(rowText(guidePanel, 6), "    + 指令");
    dispatchInput(key(VK_RIGHT)); // already open: stays open
    EXPECT_EQ(rowText(guidePanel, 2), "  - 指令集");

    dispatchInput(key(VK_DOWN));
    dispatchInput(key(VK_RETURN));
    EXPECT_EQ(rowText(guidePanel, 3), "    - 字段");
    EXPECT_EQ(rowText(guidePanel, 4), "      0000 0000 0000 0000 00000000  00000000");
    EXPECT_EQ(rowText(guidePanel, 5), "      Op   Rs   Rt   Rd   AddrH8    AddrL8");

    // Left closes an open heading, and on a closed one goes up to its parent.
    dispatchInput(key(VK_LEFT));
    EXPECT_EQ(rowText(guidePanel, 3), "    + 字段");
    dispatchInput(key(VK_LEFT));
    EXPECT_EQ(rowColour(guidePanel, 2, 2), ManualView::selectedColour);
    dispatchInput(key(VK_UP));
    dispatchInput(key(VK_UP)); // stays on the first heading
    EXPECT_EQ(rowColour(guidePanel, 0, 0), ManualView::selectedColour);
    dispatchInput(key(VK_RETURN));
    EXPECT_EQ(rowText(guidePanel, 0), "+ 说明书");
    EXPECT_EQ(rowText(guidePanel, 1), "");

    // Key releases change nothing.
    dispatchInput(key(VK_RETURN, false));
    EXPECT_EQ(rowText(guidePanel, 0), "+ 说明书");
}

TEST(ManualView, AClickOnAHeadingSelectsAndTogglesIt) {
    showGuide();
    const int set = findRow(guidePanel, "  + 指令集");
    ASSERT_GE(set, 0);
    click(guidePanel, set);
    EXPECT_EQ(rowText(guidePanel, set), "  - 指令集");
    EXPECT_EQ(rowColour(guidePanel, set, 2), ManualView::selectedColour);

    const int instructions = findRow(guidePanel, "    + 指令");
    ASSERT_GE(instructions, 0);
    click(guidePanel, instructions);
    EXPECT_EQ(rowText(guidePanel, instructions), "    - 指令");
    EXPECT_EQ(rowText(guidePanel, instructions + 1), "      + None型");
    EXPECT_EQ(rowText(guidePanel, instructions + 7), "      + None型");

    click(guidePanel, instructions + 1);
    EXPECT_EQ(rowText(guidePanel, instructions + 2), "        Op=N(0) Rs=Rd=1 Rt=TYPE Addr=1");
    EXPECT_EQ(rowText(guidePanel, instructions + 3), "        + HLT");
    click(guidePanel, instructions + 3);
    EXPECT_EQ(rowText(guidePanel, instructions + 4), "          HLT");
    EXPECT_EQ(rowText(guidePanel, instructions + 5), "          停机");
    EXPECT_EQ(rowText(guidePanel, instructions + 6), "          TYPE=1");

    // A click on text or below the page, and a held button moving over a heading, toggle nothing.
    click(guidePanel, instructions + 5);
    click(guidePanel, 24);
    dispatchInput(mouse(static_cast<int>(guidePanel.x) + 4, static_cast<int>(guidePanel.y) + instructions + 4,
                        FROM_LEFT_1ST_BUTTON_PRESSED));
    dispatchInput(mouse(static_cast<int>(guidePanel.x) + 4, static_cast<int>(guidePanel.y) + instructions + 3,
                        FROM_LEFT_1ST_BUTTON_PRESSED));
    dispatchInput(mouse(static_cast<int>(guidePanel.x) + 4, static_cast<int>(guidePanel.y) + instructions + 3, 0));
    EXPECT_EQ(rowText(guidePanel, instructions + 3), "        - HLT");

    click(guidePanel, set);
    EXPECT_EQ(rowText(guidePanel, set), "  + 指令集");
    EXPECT_EQ(rowText(guidePanel, set + 1), "");
}

// Everything open: 64 headings (the root, two sections, the layout, the
// flags and labels pages, the instruction list, seven categories and 50
// instructions); every row fits.
TEST(ManualView, FullyOpenPageFitsAndScrolls) {
    freshProgram();
    window panel("test", 1, 4, 80, 25);
    panel.raise();
    std::shared_ptr<ManualView> view = installManualView(panel);
    for (bool opened = true; opened;) {
        opened = false;
        for (const ManualView::Row& row : view->page()) {
            if (row.heading && !view->isOpen(row.heading)) {
                view->toggle(row.heading);
                opened = true;
                break;
            }
        }
    }
    std::size_t headings = 0;
    for (const ManualView::Row& row : view->page()) {
        headings += row.heading != nullptr;
        EXPECT_LE(row.indent + static_cast<std::int64_t>(row.length) + (row.heading ? 2 : 0), 80);
    }
    EXPECT_EQ(headings, 64u);
    const std::size_t total = view->page().size();
    ASSERT_GT(total, 100u);

    dispatchInput(key(VK_NEXT));
    EXPECT_EQ(view->top(), 25u);
    dispatchInput(key(VK_PRIOR));
    EXPECT_EQ(view->top(), 0u);
    dispatchInput(mouse(10, 10, 0xFF880000u, MOUSE_WHEELED));
    EXPECT_EQ(view->top(), 3u);
    dispatchInput(key(VK_END));
    EXPECT_EQ(view->top(), total - 25);
    drawAllWindows();
    EXPECT_EQ(rowText(panel, 24), "          OP=7");
    // The selection followed the scrolling onto a heading in view.
    const std::size_t selected = view->selectedRow();
    EXPECT_GE(selected, view->top());
    EXPECT_LT(selected, view->top() + 25);
    EXPECT_EQ(rowColour(panel, selected - view->top(), static_cast<std::size_t>(view->page()[selected].indent)),
              ManualView::selectedColour);
    dispatchInput(key(VK_HOME));
    EXPECT_EQ(view->top(), 0u);
}

TEST(ManualView, SurvivesRandomRecords) {
    showGuide();
    std::mt19937 random(12345);
    const std::uint16_t keys[] = {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_RETURN, VK_SPACE, VK_PRIOR, VK_NEXT,
                                  VK_HOME, VK_END, 'A', VK_BACK};
    for (int i = 0; i < 20000; ++i) {
        INPUT_RECORD record;
        switch (random() % 4) {
        case 0: record = key(keys[random() % std::size(keys)], random() % 4 != 0); break;
        case 1: record = key(static_cast<std::uint16_t>(random() % 0x10000), random() % 2 != 0); break;
        case 2:
            record = mouse(static_cast<int>(guidePanel.x) - 2 + static_cast<int>(random() % 90),
                           static_cast<int>(guidePanel.y) - 4 + static_cast<int>(random() % 32),
                           random() % 2 ? FROM_LEFT_1ST_BUTTON_PRESSED : 0, random() % 8);
            break;
        default:
            record = mouse(static_cast<int>(random() % 200) - 20, static_cast<int>(random() % 60) - 10,
                           static_cast<std::uint32_t>(random()), static_cast<std::uint32_t>(random() % 8));
            break;
        }
        // Straight to the panel's handlers as well, whatever window is in front.
        for (auto& handler : guidePanel.inputHandlers) handler(record);
        for (auto& hook : guidePanel.drawHooks) hook();
        dispatchInput(record);
    }
    for (std::size_t r = 0; r < guidePanel.grid[0].size(); ++r) EXPECT_LE(rowText(guidePanel, r).size(), 80u);
}
} // namespace

// The manual shown in a panel as a page of headings that open and close.
// Titled nodes are headings ("+ 指令集" closed, "- 指令集" open), leaves are
// text, indentation follows depth. Keys (panel in front): Up/Down select a
// heading, Enter/Space/Right/Left open or close it, PageUp/PageDown/Home/End
// and the wheel scroll; a click on a heading opens or closes it.
//
//   installManualView(guidePanel);   // once, after the panel and manualRoot exist
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "shell/manual.h"
#include "ui/window.h"

class ManualView {
public:
    // One row of the page: a heading or a piece of text, pointing into the tree.
    struct Row {
        const char* text = nullptr;
        std::size_t length = 0;
        std::int64_t indent = 0;
        const ManualNode* heading = nullptr; // the titled node, for heading rows
    };

    static constexpr std::uint16_t selectedColour = 0xF0;

    ManualView(window& panel, const ManualNode& root);

    void handleInput(const INPUT_RECORD& record);
    // Refills the panel's grid with the visible part of the page.
    void fill();

    bool isOpen(const ManualNode* heading) const { return open.count(heading) != 0; }
    void toggle(const ManualNode* heading);
    const std::vector<Row>& page();
    std::size_t top() const { return firstRow; }
    // The row index of the selected heading in page().
    std::size_t selectedRow();

private:
    window& panel;
    const ManualNode& root;
    std::unordered_set<const ManualNode*> open;
    std::vector<Row> rows;
    bool stale = true;
    const ManualNode* selected = nullptr;
    std::size_t selectedIndex = 0;
    std::size_t firstRow = 0;

    void rebuild();
    void addNode(const ManualNode& node, std::int64_t depth);
    void addText(const std::string& text, std::int64_t indent);
    void selectHeading(std::ptrdiff_t step);
    void scroll(std::ptrdiff_t rowsBy);
    void keepSelectionVisible();
    void onKey(const KEY_EVENT_RECORD& key);
    void onMouse(const MOUSE_EVENT_RECORD& mouse);
    std::size_t visibleRows() const;
};

// Renders manualRoot into the panel through its draw hooks and input handlers.
std::shared_ptr<ManualView> installManualView(window& panel);

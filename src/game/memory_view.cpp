#include "game/memory_view.h"

#include <algorithm>

#include "game/game.h"
#include "game/panels.h"
#include "ui/panel_scroll.h"

namespace {
constexpr std::int64_t memoryRowsTotal = 0x10000 / 16;
constexpr std::int64_t firstByteColumn = 5; // after "XXXX "
} // namespace

std::int64_t memoryViewRows() { return std::clamp<std::int64_t>(memoryPanel.height() - 1, 0, memoryRowsTotal); }

std::uint16_t memoryViewBase() { return static_cast<std::uint16_t>(game.memoryViewRow * 16); }

bool memoryCellPosition(std::uint16_t address, std::int64_t& column, std::int64_t& row) {
    const std::int64_t offset = std::int64_t{address / 16} - game.memoryViewRow;
    if (offset < 0 || offset >= memoryViewRows()) return false;
    column = firstByteColumn + 3 * (address % 16);
    row = offset + 1;
    return true;
}

void installMemoryScroll() {
    memoryPanel.inputHandlers.push_back([](INPUT_RECORD record) {
        const std::int64_t by = scrollRows(record, memoryViewRows());
        if (by == 0) return;
        game.memoryViewRow = std::clamp<std::int64_t>(game.memoryViewRow + by, 0, memoryRowsTotal - memoryViewRows());
    });
}

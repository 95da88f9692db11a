#include "ui/window_order.h"

#include <algorithm>

namespace {
bool framesOverlap(const window& a, const window& b) {
    return a.x - 1 <= b.right && b.x - 1 <= a.right && a.y - 3 <= b.bottom && b.y - 3 <= a.bottom;
}
} // namespace

void uncover(window& w) {
    const auto self = std::find(windowList.begin(), windowList.end(), &w);
    if (self == windowList.end()) return;
    const auto cover = std::find_if(windowList.begin(), self, [&](const window* other) {
        return other->visible && framesOverlap(*other, w);
    });
    if (cover == self) return;
    const auto at = cover - windowList.begin();
    windowList.erase(self);
    windowList.insert(windowList.begin() + at, &w);
}

void moveWindow(window& w, std::int64_t dx, std::int64_t dy) {
    w.x += dx, w.right += dx;
    w.y += dy, w.bottom += dy;
    w.closeBox.offsetX += dx, w.closeBox.offsetY += dy;
    for (Button& b : w.buttons) b.offsetX += dx, b.offsetY += dy;
}

std::vector<window*> windowsOnScreen(std::int64_t width, std::int64_t height) {
    std::vector<window*> shown;
    if (width <= 0 || height <= 0) return shown;
    std::vector<bool> covered(static_cast<std::size_t>(width * height), false);
    for (window* w : windowList) {
        if (!w->visible) continue;
        bool showsACell = false;
        const std::int64_t left = std::max<std::int64_t>(w->x - 1, 0), right = std::min(w->right, width - 1);
        const std::int64_t top = std::max<std::int64_t>(w->y - 3, 0), bottom = std::min(w->bottom, height - 1);
        for (std::int64_t row = top; row <= bottom; ++row)
            for (std::int64_t column = left; column <= right; ++column) {
                const auto cell = static_cast<std::size_t>(row * width + column);
                showsACell = showsACell || !covered[cell];
                covered[cell] = true;
            }
        if (showsACell) shown.push_back(w);
    }
    return shown;
}

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

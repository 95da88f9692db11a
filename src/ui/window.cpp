#include "ui/window.h"

#include <algorithm>
#include <cstring>
#include <cstdio>

MOUSE_EVENT_RECORD lastMouse;
bool (*f10AsksFirst)() = nullptr;
bool inputConsumed = false;

namespace {
constexpr std::uint8_t defaultColour = 15;
constexpr std::uint8_t hoverColour = 0xF0;

// The walk shared by buttons and bare text: '\n' starts a row, a full row
// wraps, rows past the area are cut, GBK pairs take two cells. Blanking
// walks the same cells but writes ' ' in colour 15.
void walkText(const std::string& text, std::int64_t left, std::int64_t top, std::int64_t width,
              std::int64_t height, std::uint8_t colour, bool blanking) {
    std::int64_t c = left;
    std::int64_t r = top;
    const std::size_t length = text.size();
    std::size_t i = 0;
    while (i < length) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (b == '\n') {
            c = left;
            ++r;
            ++i;
            continue;
        }
        if (c >= left + width) {
            c = left;
            ++r;
        }
        if (r >= top + height) return;
        if (i + 1 < length && isGbkLead(b) && isGbkTrail(static_cast<std::uint8_t>(text[i + 1]))) {
            if (blanking) {
                putCell(c, r, ' ', defaultColour);
                putCell(c + 1, r, ' ', defaultColour);
            } else {
                putPair(c, r, b, static_cast<std::uint8_t>(text[i + 1]), colour);
            }
            i += 2;
            c += 2;
        } else {
            if (blanking) putCell(c, r, ' ', defaultColour);
            else putCell(c, r, b, colour);
            ++i;
            ++c;
        }
    }
}

void hideButton(Button& button) {
    if (!button.visible) return;
    button.colour = defaultColour;
    button.blank();
    button.visible = false;
}

// The hover rule. stillThere() tells whether the button survived its action
// (an action may add or remove buttons of the list holding it).
template <class StillThere>
void hoverRule(Button& button, const MOUSE_EVENT_RECORD& mouse, StillThere stillThere) {
    const bool pressed = (mouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) != 0;
    if (button.contains(mouse.dwMousePosition.X, mouse.dwMousePosition.Y)) {
        if (pressed) {
            if (std::function<void()> action = button.action) action();
            if (!stillThere()) return;
        } else {
            button.colour = hoverColour;
        }
    } else {
        button.colour = defaultColour;
    }
    if (button.colour != button.drawnColour) {
        button.draw();
        button.drawnColour = button.colour;
    }
}

void hoverListedButton(std::vector<Button>& buttons, std::size_t index, const MOUSE_EVENT_RECORD& mouse) {
    const Button* before = buttons.data();
    const std::size_t count = buttons.size();
    hoverRule(buttons[index], mouse, [&] { return buttons.data() == before && buttons.size() == count; });
}
} // namespace

Button::Button(std::int64_t x_, std::int64_t y_, std::int64_t width_, std::int64_t height_, std::string text_,
               std::int64_t offsetX_, std::int64_t offsetY_)
    : text(std::move(text_)), x(x_), y(y_), offsetX(offsetX_), offsetY(offsetY_), width(width_), height(height_) {
    draw();
}

void Button::draw() {
    if (!visible) return;
    walkText(text, x + offsetX, y + offsetY, width, height, colour, false);
}

void Button::blank() { walkText(text, x + offsetX, y + offsetY, width, height, defaultColour, true); }

bool Button::contains(std::int64_t px, std::int64_t py) const {
    const std::int64_t left = x + offsetX;
    const std::int64_t top = y + offsetY;
    return px >= left && px < left + width && py >= top && py < top + height;
}

void hoverButton(Button& button, const MOUSE_EVENT_RECORD& mouse) {
    hoverRule(button, mouse, [] { return true; });
}

void drawText(const std::string& text, std::int64_t left, std::int64_t top, std::int64_t width,
              std::int64_t height, std::uint8_t colour) {
    walkText(text, left, top, width, height, colour, false);
}

window::window(std::string title_, std::int64_t x_, std::int64_t y_, std::int64_t width_, std::int64_t height_)
    : x(x_), y(y_), right(x_ + width_), bottom(y_ + height_),
      closeBox(0, 0, 1, 1, "x", x_ + width_, y_ - 3) {
    closeBox.action = [this] { hide(); };
    visible = true;
    title = std::move(title_);
    const auto columns = static_cast<std::size_t>(std::max<std::int64_t>(width_, 0));
    const auto rows = static_cast<std::size_t>(std::max<std::int64_t>(height_, 0));
    grid.assign(columns, std::vector<ScreenCell>(rows, ScreenCell{' ', colour}));
    draw();
    windowList.push_back(this);
}

window::~window() { std::erase(windowList, this); }

window* frontWindow() {
    for (window* w : windowList)
        if (w->visible) return w;
    return nullptr;
}

bool ownsEveryKey(const KEY_EVENT_RECORD&) { return true; }

void window::draw() {
    if (!visible) return;
    for (std::size_t i = 0; i < drawHooks.size(); ++i) {
        std::function<void()> hook = drawHooks[i];
        hook();
    }
    closeBox.draw();
    for (Button& b : buttons) b.draw();

    drawGrid();

    // Title row: the title, then blanks up to the right border; the window
    // in front shows it in the focus colour, so the player sees where keys go.
    const std::uint8_t titleColour = frontWindow() == this ? focusTitleColour : colour;
    std::int64_t c = x;
    const std::size_t titleLength = title.size();
    for (std::size_t i = 0; i < titleLength && c < right;) {
        const auto b = static_cast<std::uint8_t>(title[i]);
        if (i + 1 < titleLength && isGbkLead(b) && isGbkTrail(static_cast<std::uint8_t>(title[i + 1]))) {
            if (c + 1 >= right) break;
            putPair(c, y - 2, b, static_cast<std::uint8_t>(title[i + 1]), titleColour);
            i += 2;
            c += 2;
        } else {
            putCell(c, y - 2, b, titleColour);
            ++i;
            ++c;
        }
    }
    for (; c < right; ++c) putCell(c, y - 2, ' ', titleColour);

    putCell(x - 1, y - 3, '+', colour);
    putCell(x - 1, y - 1, '+', colour);
    putCell(right, y - 3, '+', colour);
    putCell(right, y - 1, '+', colour);
    putCell(x - 1, bottom, '+', colour);
    putCell(right, bottom, '+', colour);
    for (std::int64_t col = x; col < right; ++col) {
        putCell(col, y - 3, '-', colour);
        putCell(col, y - 1, '-', colour);
        putCell(col, bottom, '-', colour);
    }
    for (std::int64_t row = y - 2; row < bottom; ++row) {
        putCell(x - 1, row, '|', colour);
        putCell(right, row, '|', colour);
    }
}

// The grid keeps one byte per cell; pairs of one colour are joined again
// here. Walked column by column, the order both buffers are laid out in; a
// row whose pair took the next column skips it.
void window::drawGrid() const {
    static bool trailTaken[screenModelSize];
    const auto columns = static_cast<std::int64_t>(grid.size());
    if (columns == 0) return;
    const auto gridRows = static_cast<std::int64_t>(grid[0].size());
    // Only rows on the screen model can show anything.
    const std::int64_t firstRow = std::clamp<std::int64_t>(-y, 0, gridRows);
    const std::int64_t endRow = std::clamp<std::int64_t>(screenModelSize - y, firstRow, gridRows);
    if (firstRow >= endRow) return;
    std::fill(trailTaken + (firstRow + y), trailTaken + (endRow + y), false);
    for (std::int64_t c = 0; c < columns && x + c < screenModelSize; ++c) {
        const std::vector<ScreenCell>& column = grid[static_cast<std::size_t>(c)];
        const std::vector<ScreenCell>* next = c + 1 < columns ? &grid[static_cast<std::size_t>(c + 1)] : nullptr;
        const std::int64_t sx = x + c;
        const std::int64_t end = std::min<std::int64_t>(endRow, static_cast<std::int64_t>(column.size()));
        for (std::int64_t r = firstRow; r < end; ++r) {
            bool& taken = trailTaken[y + r];
            if (taken) {
                taken = false;
                continue;
            }
            const ScreenCell cell = column[static_cast<std::size_t>(r)];
            if (next && r < static_cast<std::int64_t>(next->size()) && isGbkLead(cell.character)) {
                const ScreenCell following = (*next)[static_cast<std::size_t>(r)];
                if (following.attribute == cell.attribute && isGbkTrail(following.character)) {
                    putPair(sx, y + r, cell.character, following.character, cell.attribute & 0xFF);
                    taken = true;
                    continue;
                }
            }
            putCell(sx, y + r, cell.character, cell.attribute & 0xFF);
        }
    }
}

void window::raise() {
    auto it = std::find(windowList.begin(), windowList.end(), this);
    if (it == windowList.end()) return;
    windowList.erase(it);
    windowList.insert(windowList.begin(), this);
}

void window::hide() {
    auto it = std::find(windowList.begin(), windowList.end(), this);
    if (it != windowList.end()) {
        windowList.erase(it);
        windowList.push_back(this);
    }
    hideButton(closeBox);
    visible = false;
    for (Button& b : buttons) hideButton(b);
}

void window::toggle() {
    if (visible) {
        if (windowList.empty() || windowList.front() != this) raise();
        else hide();
        return;
    }
    raise();
    visible = true;
    closeBox.visible = true;
    closeBox.draw();
    draw();
    for (Button& b : buttons) {
        b.visible = true;
        b.draw();
    }
}

std::size_t closingPunctuationLength(const char* text) {
    static const char* const wide[] = {"。", "，", "、", "；", "：", "！", "？", "）", "」", "』", "”", "’", "》", "】"};
    for (const char* mark : wide)
        if (text[0] == mark[0] && text[0] != 0 && text[1] == mark[1]) return 2;
    const char c = text[0];
    return c != 0 && std::strchr(".,;:!?)]}", c) ? 1 : 0;
}

void window::print(const char* format, va_list args) {
    // One formatting buffer for every panel: printing is not re-entrant.
    static char text[0x10000];
    std::vsnprintf(text, sizeof text, format, args);
    const std::int64_t w = std::min<std::int64_t>(width(), static_cast<std::int64_t>(grid.size()));
    const std::int64_t h = std::min<std::int64_t>(height(), grid.empty() ? 0 : static_cast<std::int64_t>(grid[0].size()));
    const auto scrollIfBelow = [&] {
        if (cursorY < h) return;
        for (std::int64_t col = 0; col < w; ++col) {
            std::vector<ScreenCell>& column = grid[static_cast<std::size_t>(col)];
            std::move(column.begin() + 1, column.begin() + h, column.begin());
            column[static_cast<std::size_t>(h - 1)] = ScreenCell{' ', 0};
        }
        cursorY = h - 1;
    };
    bool trailNext = false; // the byte after a lead belongs to its character
    // The last character written on the cursor's row: its column and cells (-1: none).
    std::int64_t lastStart = -1, lastCells = 0;
    for (const char* p = text; *p; ++p) {
        const auto b = static_cast<std::uint8_t>(*p);
        if (b == '\n') {
            cursorX = 0;
            ++cursorY;
            trailNext = false;
            lastStart = -1;
            continue;
        }
        if (w <= 0 || h <= 0) continue;
        // A double-byte character never straddles the right edge: with one
        // cell left it starts the next row.
        const bool startsCharacter = !trailNext;
        const bool lead = startsCharacter && isGbkLead(b) && isGbkTrail(static_cast<std::uint8_t>(p[1]));
        trailNext = lead;
        const bool wraps = cursorX >= w || (lead && cursorX == w - 1 && cursorX > 0);
        if (wraps && startsCharacter && lastStart > 0 && cursorY >= 0 && closingPunctuationLength(p)) {
            // Punctuation stays with the character before it: both start the next row.
            const auto row = static_cast<std::size_t>(cursorY);
            ScreenCell carried[2];
            for (std::int64_t k = 0; k < lastCells; ++k) {
                ScreenCell& cell = grid[static_cast<std::size_t>(lastStart + k)][row];
                carried[k] = cell;
                cell = ScreenCell{' ', colour};
            }
            if (lastStart + lastCells < w) grid[static_cast<std::size_t>(lastStart + lastCells)][row] = ScreenCell{' ', colour};
            cursorX = 0;
            ++cursorY;
            scrollIfBelow();
            for (std::int64_t k = 0; k < lastCells; ++k)
                grid[static_cast<std::size_t>(k)][static_cast<std::size_t>(cursorY)] = carried[k];
            cursorX = lastCells;
        } else if (wraps) {
            if (cursorX < w && cursorY >= 0) grid[static_cast<std::size_t>(cursorX)][static_cast<std::size_t>(cursorY)] = ScreenCell{' ', colour};
            cursorX = 0;
            ++cursorY;
        }
        scrollIfBelow();
        if (wraps) lastStart = cursorX > 0 ? 0 : -1;
        if (b == '\t') {
            cursorX = (cursorX / 4 + 1) * 4;
            if (cursorX < 0) cursorX = 0;
            lastStart = -1;
            continue;
        }
        if (startsCharacter) lastStart = cursorX, lastCells = lead ? 2 : 1;
        if (cursorX >= 0 && cursorY >= 0)
            grid[static_cast<std::size_t>(cursorX)][static_cast<std::size_t>(cursorY)] = ScreenCell{b, colour};
        ++cursorX;
    }
}

void window::printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    print(format, args);
    va_end(args);
}

void window::clearText() {
    for (auto& column : grid) std::fill(column.begin(), column.end(), ScreenCell{' ', colour});
    cursorX = cursorY = 0;
}

bool window::inHeader(std::int64_t px, std::int64_t py) const {
    return px >= x - 1 && px <= right && py >= y - 3 && py <= y - 1;
}

bool window::inHitArea(std::int64_t px, std::int64_t py) const {
    return px >= x - 1 && px <= right && py >= y - 3 && py <= bottom;
}

void addButton(std::vector<Button>& bar, std::function<void()> action, const std::string& text) {
    std::int64_t offset = 0;
    for (const Button& b : bar) offset += b.width + 2;
    bar.emplace_back(0, 0, static_cast<std::int64_t>(text.size()), 1, text, offset, 0);
    bar.back().action = std::move(action);
}

void drawAllWindows() {
    for (std::size_t i = 0; i < windowList.size(); ++i) windowList[i]->draw();
    if (windowList.empty()) return;
    const window& front = *windowList.front();
    ConsolePlatform& con = console();
    const HANDLE output = con.GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == INVALID_HANDLE_VALUE) return;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!con.GetConsoleScreenBufferInfo(output, &info)) return;
    const std::int64_t visibleWidth = info.srWindow.Right - info.srWindow.Left + 1;
    const std::int64_t visibleHeight = info.srWindow.Bottom - info.srWindow.Top + 1;
    const std::int64_t cx = front.x + front.cursorX;
    const std::int64_t cy = front.y + front.cursorY;
    if (cx >= 0 && cx < visibleWidth && cy >= 0 && cy < visibleHeight)
        con.SetConsoleCursorPosition(output, COORD{static_cast<std::int16_t>(cx), static_cast<std::int16_t>(cy)});
    const bool wanted = front.visible && front.showCursor;
    if (wanted != screen.cursorShown) {
        CONSOLE_CURSOR_INFO cursor;
        con.GetConsoleCursorInfo(output, &cursor);
        cursor.bVisible = wanted ? 1 : 0;
        con.SetConsoleCursorInfo(output, &cursor);
        screen.cursorShown = wanted;
    }
}

namespace {
void callHandlers(window& w, const INPUT_RECORD& record) {
    for (std::size_t i = 0; i < w.inputHandlers.size(); ++i) {
        std::function<void(INPUT_RECORD)> handler = w.inputHandlers[i];
        handler(record);
    }
}

// One window's share of a mouse record; true when the walk must stop.
bool routeMouse(window& w, const MOUSE_EVENT_RECORD& mouse) {
    const bool pressed = (mouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) != 0;
    const std::int64_t px = mouse.dwMousePosition.X, py = mouse.dwMousePosition.Y;
    const std::int64_t lx = lastMouse.dwMousePosition.X, ly = lastMouse.dwMousePosition.Y;
    // Dragging works because each held move starts where the previous record
    // was, which lies in the header the window has already been moved under.
    const bool fromHeader = w.inHeader(lx, ly);
    if (fromHeader) {
        if (pressed) {
            const std::int64_t dx = px - lx, dy = py - ly;
            if (dx != 0 || dy != 0) {
                w.x += dx, w.right += dx;
                w.y += dy, w.bottom += dy;
                w.closeBox.offsetX += dx, w.closeBox.offsetY += dy;
                for (Button& b : w.buttons) b.offsetX += dx, b.offsetY += dy;
            }
            w.raise();
            inputConsumed = true;
        }
        if (w.closeBox.visible) hoverButton(w.closeBox, mouse);
        // Closed by its close box: it went to the back and must stay there,
        // so the press ends here instead of raising it again below.
        if (!w.visible) return true;
    }
    if (w.inHitArea(px, py)) {
        if (pressed) {
            w.raise();
            inputConsumed = true;
        }
        if (!fromHeader) {
            for (std::size_t i = 0; i < w.buttons.size(); ++i)
                if (w.buttons[i].visible) hoverListedButton(w.buttons, i, mouse);
            INPUT_RECORD record;
            record.EventType = MOUSE_EVENT;
            record.Event.MouseEvent = mouse;
            callHandlers(w, record);
        }
    }
    return inputConsumed;
}
} // namespace

void dispatchInput(INPUT_RECORD record) {
    deliverInput(record);
    drawAllWindows();
}

void deliverInput(INPUT_RECORD record) {
    inputConsumed = false;
    // Walked by index: actions and handlers may reorder the list, and a
    // record that reorders it ends the walk at that window.
    for (std::size_t i = 0; i < windowList.size(); ++i) {
        window& w = *windowList[i];
        if (!w.visible) continue;
        if (record.EventType != MOUSE_EVENT) {
            w.raise();
            inputConsumed = true;
            callHandlers(w, record);
            break;
        }
        if (routeMouse(w, record.Event.MouseEvent)) break;
    }
    if (record.EventType == MOUSE_EVENT) lastMouse = record.Event.MouseEvent;
}

void hoverBarButtons(std::vector<Button>& bar, const MOUSE_EVENT_RECORD& mouse) {
    for (std::size_t i = 0; i < bar.size(); ++i)
        if (bar[i].visible) hoverListedButton(bar, i, mouse);
}

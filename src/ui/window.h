// Panels and buttons. A window is a framed, titled, movable rectangle with a
// retained text grid, buttons, input handlers and draw hooks; windowList holds
// every window, front-most first. One frame of composition:
//
//   clearFrame(w, h);
//   hoverBarButtons(buttonBar, mouse);      // with a mouse record
//   for (Button& b : buttonBar) b.draw();   // the bar lies above all windows
//   dispatchInput(record);                  // or drawAllWindows() without input
//   screen.present();
//
// Actions may raise, hide or reorder windows: callers copy the function object
// before running it and never keep an iterator into windowList across it.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/console_screen.h"
#include "console/platform.h"

struct Button {
    std::function<void()> action;
    std::string text;
    std::uint8_t colour = 15;
    std::uint8_t drawnColour = 0;
    std::int64_t x = 0, y = 0;
    std::int64_t offsetX = 0, offsetY = 0;
    std::int64_t width = 0, height = 0;
    bool visible = true;

    Button() = default;
    // Drawn into the frontBuffer at once.
    Button(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, std::string text,
           std::int64_t offsetX, std::int64_t offsetY);

    void draw();
    void blank(); // the hiding walk: ' ' in colour 15 into cells still empty
    bool contains(std::int64_t px, std::int64_t py) const;
};

// The hover rule for one button and one mouse record: highlighted under the
// pointer, its action run while the left button is down over it, redrawn at
// once when its colour changed.
void hoverButton(Button& button, const MOUSE_EVENT_RECORD& mouse);
// The hover rule over every visible button of a row (the bar), in order.
void hoverBarButtons(std::vector<Button>& bar, const MOUSE_EVENT_RECORD& mouse);

struct window {
    std::int64_t x, y;
    std::int64_t right, bottom;
    std::int64_t cursorX = 0, cursorY = 0;
    std::uint8_t colour = 15;
    std::string title;
    std::vector<std::vector<ScreenCell>> grid; // [column][row]
    std::vector<std::function<void(INPUT_RECORD)>> inputHandlers;
    std::vector<std::function<void()>> drawHooks;
    Button closeBox;
    bool visible = true;
    std::vector<Button> buttons;
    bool showCursor = false;
    // The key records the window takes as its own while it is in front; typed
    // text it does not take goes to the editor (null: it takes none).
    bool (*ownsKey)(const KEY_EVENT_RECORD& key) = nullptr;

    window(std::string title, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height);
    virtual ~window();
    window(const window&) = delete;
    window& operator=(const window&) = delete;

    void draw();
    void raise();
    void hide();
    void toggle();
    void print(const char* format, va_list args);
    void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    std::int64_t width() const { return right - x; }
    std::int64_t height() const { return bottom - y; }
    // Blanks the grid in the window's colour and homes the text cursor.
    virtual void clearText();
    void setCursor(std::int64_t column, std::int64_t row) { cursorX = column, cursorY = row; }
    bool inHeader(std::int64_t px, std::int64_t py) const;
    bool inHitArea(std::int64_t px, std::int64_t py) const;

private:
    void drawGrid() const;
};

extern std::vector<window*> windowList;
// The front-most visible window (it takes the keys and shows its title bar
// highlighted), or nullptr.
window* frontWindow();
// An ownsKey for windows that take every key.
bool ownsEveryKey(const KEY_EVENT_RECORD& key);
// The title bar's colour on the window in front.
inline constexpr std::uint8_t focusTitleColour = 0x1F;
extern MOUSE_EVENT_RECORD lastMouse;
extern bool inputConsumed;

void addButton(std::vector<Button>& bar, std::function<void()> action, const std::string& text);
void drawAllWindows();
void dispatchInput(INPUT_RECORD record);
// dispatchInput without the drawing: a frame that takes several records
// routes each with this and draws once.
void deliverInput(INPUT_RECORD record);

// Bytes of the closing punctuation mark text starts with ("。", "，", ")" ...),
// 0 for anything else: a row never starts with one when the character before
// it can go along to the next row.
std::size_t closingPunctuationLength(const char* text);

// Writes text like a button does, from (left, top) inside a width x height area.
void drawText(const std::string& text, std::int64_t left, std::int64_t top, std::int64_t width,
              std::int64_t height, std::uint8_t colour);

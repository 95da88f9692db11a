// STUB: replaced by the toolkit implementation.
#include "ui/window.h"
MOUSE_EVENT_RECORD lastMouse;
bool inputConsumed = false;
Button::Button(std::int64_t, std::int64_t, std::int64_t, std::int64_t, std::string, std::int64_t, std::int64_t) {}
void Button::draw() {}
void Button::blank() {}
bool Button::contains(std::int64_t, std::int64_t) const { return false; }
void hoverButton(Button&, const MOUSE_EVENT_RECORD&) {}
window::window(std::string t, std::int64_t x_, std::int64_t y_, std::int64_t w, std::int64_t h) : x(x_), y(y_), right(x_ + w), bottom(y_ + h), title(std::move(t)) { windowList.push_back(this); }
window::~window() { std::erase(windowList, this); }
void window::draw() {}
void window::raise() {}
void window::hide() {}
void window::toggle() {}
void window::print(const char*, va_list) {}
void window::printf(const char*, ...) {}
void window::clearText() {}
bool window::inHeader(std::int64_t, std::int64_t) const { return false; }
bool window::inHitArea(std::int64_t, std::int64_t) const { return false; }
void addButton(std::vector<Button>&, std::function<void()>, const std::string&) {}
void drawAllWindows() {}
void dispatchInput(INPUT_RECORD) {}
void drawText(const std::string&, std::int64_t, std::int64_t, std::int64_t, std::int64_t, std::uint8_t) {}

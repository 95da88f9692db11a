// STUB: replaced by the toolkit implementation.
#include "ui/editor.h"
Editor::Editor(std::string t, std::int64_t x_, std::int64_t y_, std::int64_t w, std::int64_t h) : window(std::move(t), x_, y_, w, h) { lines.emplace_back(); }
void Editor::handleINPUT(INPUT_RECORD) {}
void Editor::updateGrid() {}
void Editor::setText(const std::string&) {}
std::string Editor::getText() const { return {}; }
void Editor::copy() {}
void Editor::paste() {}
void Editor::deleteSelection() {}
void Editor::moveCaret(TextPosition, bool) {}
TextPosition Editor::normalise(TextPosition p, bool) const { return p; }
std::int64_t Editor::gutterWidth() const { return 2; }
void Editor::typeByte(std::uint8_t) {}
void Editor::extendSelection(std::uint16_t) {}
void Editor::handleKey(const KEY_EVENT_RECORD&) {}

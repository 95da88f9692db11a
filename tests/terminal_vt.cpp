#include "terminal_vt.h"

#include <locale.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

std::string utf8(const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); }

VirtualTerminal::VirtualTerminal(int w, int h) : width(w), height(h), cells(static_cast<std::size_t>(w) * h) {}

namespace {
int columnsOf(char32_t cp) {
    static locale_t utf8Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    locale_t previous = uselocale(utf8Locale);
    int w = wcwidth(static_cast<wchar_t>(cp));
    uselocale(previous);
    return w < 1 ? 1 : w;
}
} // namespace

void VirtualTerminal::put(const std::string& glyph, int columns) {
    if (x < 0 || y < 0 || y >= height) return;
    if (x + columns > width) x = width - columns; // no autowrap: the last column is rewritten
    // Writing over either half of a wide glyph erases the other half. The blank is
    // assigned as a count and a character: g++ 12 at -O3 misreads `= " "` here as
    // an overlapping memcpy (-Werror=restrict).
    for (int c = x; c < x + columns; ++c) {
        Cell& cell = at(c, y);
        if (cell.glyph.empty() && c > 0) at(c - 1, y).glyph.assign(1, ' ');
        if (c + 1 < width && at(c + 1, y).glyph.empty()) at(c + 1, y).glyph.assign(1, ' ');
    }
    at(x, y) = Cell{glyph, foreground, background};
    if (columns == 2) at(x + 1, y) = Cell{"", foreground, background};
    x = std::min(x + columns, width - 1);
}

void VirtualTerminal::control(const std::string& p, char final) {
    std::vector<int> n;
    bool privateMode = !p.empty() && p[0] == '?';
    std::string digits = privateMode ? p.substr(1) : p;
    int value = -1;
    for (char c : digits + ";") {
        if (c >= '0' && c <= '9') value = (value < 0 ? 0 : value * 10) + (c - '0');
        else if (c == ';') n.push_back(value), value = -1;
    }
    auto arg = [&](std::size_t i, int fallback) { return i < n.size() && n[i] >= 0 ? n[i] : fallback; };
    if (privateMode) {
        for (int mode : n) {
            if (mode == 25) cursorVisible = final == 'h';
            if (mode == 1049) alternateScreen = final == 'h';
        }
        return;
    }
    switch (final) {
    case 'H': y = arg(0, 1) - 1, x = arg(1, 1) - 1; break;
    case 'C': x = std::min(width - 1, x + arg(0, 1)); break;
    case 'J':
        if (arg(0, 0) == 2)
            for (Cell& c : cells) c = Cell{" ", foreground, background};
        break;
    case 'm':
        if (n.empty()) n.push_back(0);
        for (int code : n) {
            if (code <= 0) foreground = 39, background = 49;
            else if ((code >= 30 && code <= 37) || (code >= 90 && code <= 97)) foreground = code;
            else if ((code >= 40 && code <= 47) || (code >= 100 && code <= 107)) background = code;
        }
        break;
    default: break;
    }
}

void VirtualTerminal::feed(const std::string& bytes) {
    pending += bytes;
    std::size_t i = 0;
    while (i < pending.size()) {
        auto b = static_cast<unsigned char>(pending[i]);
        if (b == 0x1B) {
            if (i + 1 >= pending.size()) break;
            if (pending[i + 1] != '[') {
                i += 2;
                continue;
            }
            std::size_t j = i + 2;
            while (j < pending.size() && static_cast<unsigned char>(pending[j]) < 0x40) ++j;
            if (j >= pending.size()) break;
            control(pending.substr(i + 2, j - i - 2), pending[j]);
            i = j + 1;
            continue;
        }
        if (b < 0x20) {
            if (b == '\r') x = 0;
            ++i;
            continue;
        }
        std::size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        if (i + length > pending.size()) break;
        char32_t cp = length == 1 ? b : b & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(pending[i + k]) & 0x3F);
        put(pending.substr(i, length), columnsOf(cp));
        i += length;
    }
    pending.erase(0, i);
}

std::string VirtualTerminal::row(int r) const {
    std::string out;
    for (int c = 0; c < width; ++c) out += cells[static_cast<std::size_t>(r) * width + c].glyph;
    return out;
}

int VirtualTerminal::columnOf(int r, const std::string& text) const {
    for (int c = 0; c < width; ++c) {
        std::string rest;
        for (int k = c; k < width; ++k) rest += cells[static_cast<std::size_t>(r) * width + k].glyph;
        if (rest.compare(0, text.size(), text) == 0 && !cells[static_cast<std::size_t>(r) * width + c].glyph.empty())
            return c;
    }
    return -1;
}

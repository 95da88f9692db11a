// 观察 from the keyboard: the word at the editor's caret names what to watch
// (run/watches.h), as a click on the register, memory, stack or screen panel
// does: "r3" a register, "pc", "sp", "clk", a flag "z", "c", "s" or "i", a
// hexadecimal number with a digit in it ("0200", "fc00") a memory byte.
#include "game/caret_watch.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "game/panels.h"
#include "run/watches.h"
#include "shell/messages.h"

namespace {

bool wordByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// The word the caret stands in or just after, lower-cased.
std::string caretWord() {
    const std::int64_t line = editorPanel.caretLine();
    if (line < 0 || line >= static_cast<std::int64_t>(editorPanel.lines.size())) return {};
    const std::string& text = editorPanel.lines[static_cast<std::size_t>(line)];
    auto end = static_cast<std::size_t>(std::clamp<std::int64_t>(editorPanel.selEnd.column, 0, static_cast<std::int64_t>(text.size())));
    std::size_t start = end;
    while (start > 0 && wordByte(text[start - 1])) --start;
    while (end < text.size() && wordByte(text[end])) ++end;
    std::string word = text.substr(start, end - start);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

bool namedWatch(const std::string& word, Watch& w) {
    if (word.size() == 2 && word[0] == 'r' && std::isxdigit(static_cast<unsigned char>(word[1]))) {
        w = {WatchKind::Register, static_cast<std::uint16_t>(std::stoi(word.substr(1), nullptr, 16))};
        return w.index != 0; // R0 always reads 0
    }
    if (word == "pc") return w = {WatchKind::Pc, 0}, true;
    if (word == "sp") return w = {WatchKind::Sp, 0}, true;
    if (word == "clk") return w = {WatchKind::Clk, 0}, true;
    static const std::string flags = "zcsi";
    if (word.size() == 1 && flags.find(word[0]) != std::string::npos)
        return w = {WatchKind::Flag, static_cast<std::uint16_t>(flags.find(word[0]))}, true;
    // Mnemonics such as "add" are hexadecimal too: an address has a digit.
    bool digit = false;
    for (char c : word) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digit = digit || std::isdigit(static_cast<unsigned char>(c));
    }
    if (!digit || word.size() > 4) return false;
    w = {WatchKind::Memory, static_cast<std::uint16_t>(std::stoi(word, nullptr, 16))};
    return true;
}

} // namespace

void watchCaretWord() {
    Watch w{};
    if (!namedWatch(caretWord(), w)) {
        consolePrintf("光标处没有可观察的寄存器、标志位或地址（如r3、pc、0200）。\n");
        return;
    }
    toggleWatch(w);
    consolePrintf(isWatched(w) ? "观察%s：运行改变它后停下。\n" : "不再观察%s。\n", watchName(w).c_str());
}

// Key and mouse records, decoded from the bytes, fed to the game's editor
// directly, through dispatchInput, or as whole game frames, mixed with
// setText, getText and redraws. After every operation the selection must lie
// inside the text and the text must survive a getText/setText round trip.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_host.h"
#include "game/game.h"
#include "game/panels.h"

namespace {
// Keys worth choosing often: arrows, editing keys and the clipboard letters.
const std::uint16_t interestingKeys[] = {VK_LEFT, VK_RIGHT, VK_UP,    VK_DOWN,  VK_BACK, VK_RETURN, VK_DELETE,
                                         VK_HOME, VK_END,   VK_PRIOR, VK_NEXT,  VK_TAB,  VK_ESCAPE, 'C',
                                         'V',     'X',      'A',      VK_SHIFT, VK_F10,  VK_SPACE};

INPUT_RECORD keyRecord(ByteReader& in) {
    INPUT_RECORD record;
    record.EventType = KEY_EVENT;
    KEY_EVENT_RECORD key;
    const std::uint8_t choice = in.byte();
    key.wVirtualKeyCode = choice < 0x80 ? interestingKeys[choice % std::size(interestingKeys)] : in.byte();
    key.uChar.AsciiChar = static_cast<char>(in.byte());
    const std::uint8_t modifiers = in.byte();
    key.dwControlKeyState = (modifiers & 1 ? SHIFT_PRESSED : 0) | (modifiers & 2 ? LEFT_CTRL_PRESSED : 0) |
                            (modifiers & 4 ? RIGHT_CTRL_PRESSED : 0) | (modifiers & 8 ? LEFT_ALT_PRESSED : 0);
    key.bKeyDown = (modifiers & 0x80) ? 0 : 1;
    key.wRepeatCount = 1;
    record.Event.KeyEvent = key;
    return record;
}

INPUT_RECORD mouseRecord(ByteReader& in) {
    INPUT_RECORD record;
    record.EventType = MOUSE_EVENT;
    MOUSE_EVENT_RECORD mouse;
    mouse.dwMousePosition = {static_cast<std::int16_t>(in.byte() % 180), static_cast<std::int16_t>(in.byte() % 50)};
    const std::uint8_t bits = in.byte();
    mouse.dwButtonState = bits & 0x07;
    mouse.dwEventFlags = (bits >> 3) & 0x07;
    record.Event.MouseEvent = mouse;
    return record;
}

// Typing a byte as the console would: ASCII keys carry their letter's key code.
INPUT_RECORD typedByte(std::uint8_t ch) {
    INPUT_RECORD record;
    record.EventType = KEY_EVENT;
    KEY_EVENT_RECORD key;
    key.bKeyDown = 1;
    key.wRepeatCount = 1;
    key.wVirtualKeyCode = (ch >= 'a' && ch <= 'z') ? static_cast<std::uint16_t>(ch - 32) : ch;
    key.uChar.AsciiChar = static_cast<char>(ch);
    record.Event.KeyEvent = key;
    return record;
}

void checkSelection() {
    const Editor& e = editorPanel;
    if (e.lines.empty()) return;
    const auto count = static_cast<std::int64_t>(e.lines.size());
    for (const TextPosition& p : {e.selStart, e.selEnd}) {
        fuzzCheck(p.line >= 0 && p.line < count, "selection line inside the text");
        fuzzCheck(p.column >= 0 && p.column <= static_cast<std::int64_t>(e.lines[static_cast<std::size_t>(p.line)].size()),
                  "selection column inside its line");
    }
}

void checkRoundTrip() {
    const std::vector<std::string> before = editorPanel.lines;
    for (const std::string& line : before)
        if (line.empty() || line.find('\n') != std::string::npos || line.find('\0') != std::string::npos) return;
    editorPanel.setText(editorPanel.getText());
    fuzzCheck(editorPanel.lines == before, "setText(getText()) keeps the lines");
}

void frameWith(const INPUT_RECORD& record) {
    fuzzConsole().input.push_back(record);
    game.lastFrameMicros = 0;
    game.update();
}

// Operations that reach beyond the editor (frames, routing, raising) leave
// other globals changed, so the next input starts from a full restart; an
// input that only edited needs the editor put back, which is much cheaper.
bool othersTouched = true;

void startClean() {
    fuzzConsole().input.clear();
    if (othersTouched) {
        restartGlobals();
        editorPanel.raise();
        othersTouched = false;
        return;
    }
    Editor& e = editorPanel;
    e.lines.assign(1, std::string());
    e.selStart = e.selEnd = TextPosition{};
    e.extendSide = 0;
    e.scrollX = e.scrollY = 0;
    e.clipboard.clear();
    e.breakpoints.clear();
    e.lineColours.clear();
    e.modified = false;
    lastMouse = MOUSE_EVENT_RECORD{};
}

// Frames and routed records draw every panel: a few per input keep the fuzzer fast.
constexpr int maxOperations = 500;
constexpr int maxFrames = 6;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    startClean();
    ByteReader in{data, size};
    int frames = 0;
    for (int operations = 0; !in.done() && operations < maxOperations; ++operations) {
        std::uint8_t op = in.byte();
        if ((op % 10 == 4 || op % 10 == 8 || (op % 10 == 9 && (op & 0x10))) && frames++ >= maxFrames) op = 7;
        if (op % 10 == 4 || op % 10 == 8 || op % 10 == 9) othersTouched = true;
        switch (op % 10) {
        case 0: editorPanel.handleINPUT(keyRecord(in)); break;
        case 1:
        case 2: editorPanel.handleINPUT(typedByte(in.byte())); break;
        case 3: editorPanel.handleINPUT(mouseRecord(in)); break;
        case 4: dispatchInput(op & 0x10 ? keyRecord(in) : mouseRecord(in)); break;
        case 5: {
            std::string text;
            for (std::uint8_t n = in.byte() % 64; n > 0 && !in.done(); --n) text += static_cast<char>(in.byte());
            editorPanel.setText(text);
            break;
        }
        case 6: checkRoundTrip(); break;
        case 7: editorPanel.updateGrid(); break;
        case 8: frameWith(op & 0x10 ? keyRecord(in) : mouseRecord(in)); break;
        case 9:
            if (op & 0x10) editorPanel.raise();
            else editorPanel.copy(), editorPanel.paste();
            break;
        }
        checkSelection();
    }
    editorPanel.updateGrid();
    checkSelection();
    return 0;
}

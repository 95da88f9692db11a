#include "console/terminal_input.h"

#include "text/gbk_text.h"

#include <algorithm>

namespace {

constexpr std::uint16_t VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD,
                        VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB,
                        VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE;
// Longest escape sequence kept waiting for its end; anything longer is noise.
constexpr std::size_t longestSequence = 64;

std::uint32_t modifierState(int xtermModifier) {
    int bits = xtermModifier > 1 ? xtermModifier - 1 : 0;
    std::uint32_t state = 0;
    if (bits & 1) state |= SHIFT_PRESSED;
    if (bits & 2) state |= LEFT_ALT_PRESSED;
    if (bits & 4) state |= LEFT_CTRL_PRESSED;
    return state;
}

void pushKey(InputQueue& out, std::uint16_t vk, std::uint8_t ch, std::uint32_t control) {
    out.push(makeKeyRecord(vk, ch, control));
}

void pushAscii(InputQueue& out, std::uint8_t ch, std::uint32_t extra = 0) {
    std::uint16_t vk;
    std::uint32_t control;
    asciiKey(ch, vk, control);
    pushKey(out, vk, ch, control | extra);
}

// A grey-block key (arrows, Home, Insert, ...) or a function key.
void pushSpecial(InputQueue& out, std::uint16_t vk, int xtermModifier) {
    std::uint32_t control = modifierState(xtermModifier);
    if (vk < VK_F1) control |= ENHANCED_KEY;
    pushKey(out, vk, 0, control);
}

std::uint16_t tildeKey(int code) {
    switch (code) {
    case 1: case 7: return VK_HOME;
    case 2: return VK_INSERT;
    case 3: return VK_DELETE;
    case 4: case 8: return VK_END;
    case 5: return VK_PRIOR;
    case 6: return VK_NEXT;
    case 11: case 12: case 13: case 14: case 15: return static_cast<std::uint16_t>(VK_F1 + code - 11);
    case 17: case 18: case 19: case 20: case 21: return static_cast<std::uint16_t>(VK_F1 + 5 + code - 17);
    case 23: case 24: return static_cast<std::uint16_t>(VK_F1 + 10 + code - 23);
    default: return 0;
    }
}

// Keys named by the final letter of CSI and SS3 sequences.
std::uint16_t letterKey(std::uint8_t last) {
    switch (last) {
    case 'A': return VK_UP;
    case 'B': return VK_DOWN;
    case 'C': return VK_RIGHT;
    case 'D': return VK_LEFT;
    case 'H': return VK_HOME;
    case 'F': return VK_END;
    case 'P': case 'Q': case 'R': case 'S': return static_cast<std::uint16_t>(VK_F1 + last - 'P');
    default: return 0;
    }
}

bool isContinuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

} // namespace

void asciiKey(std::uint8_t ch, std::uint16_t& vk, std::uint32_t& control) {
    control = 0;
    vk = 0;
    if (ch >= 'a' && ch <= 'z') {
        vk = static_cast<std::uint16_t>(ch - 'a' + 'A');
        return;
    }
    if ((ch >= 'A' && ch <= 'Z')) {
        vk = ch;
        control = SHIFT_PRESSED;
        return;
    }
    if ((ch >= '0' && ch <= '9') || ch == ' ') {
        vk = ch;
        return;
    }
    // US layout: the unshifted and the shifted character of each key.
    static constexpr struct {
        char plain, shifted;
        std::uint16_t vk;
    } keys[] = {{'`', '~', VK_OEM_3},   {'1', '!', '1'},          {'2', '@', '2'},          {'3', '#', '3'},
                {'4', '$', '4'},        {'5', '%', '5'},          {'6', '^', '6'},          {'7', '&', '7'},
                {'8', '*', '8'},        {'9', '(', '9'},          {'0', ')', '0'},          {'-', '_', VK_OEM_MINUS},
                {'=', '+', VK_OEM_PLUS}, {'[', '{', VK_OEM_4},    {']', '}', VK_OEM_6},     {'\\', '|', VK_OEM_5},
                {';', ':', VK_OEM_1},   {'\'', '"', VK_OEM_7},    {',', '<', VK_OEM_COMMA}, {'.', '>', VK_OEM_PERIOD},
                {'/', '?', VK_OEM_2}};
    for (const auto& k : keys) {
        if (ch == static_cast<std::uint8_t>(k.plain)) {
            vk = k.vk;
            return;
        }
        if (ch == static_cast<std::uint8_t>(k.shifted)) {
            vk = k.vk;
            control = SHIFT_PRESSED;
            return;
        }
    }
}

void InputQueue::push(const INPUT_RECORD& record) {
    // Only the latest size matters to a reader that is behind.
    if (record.EventType == WINDOW_BUFFER_SIZE_EVENT && !records.empty() &&
        records.back().EventType == WINDOW_BUFFER_SIZE_EVENT) {
        records.back() = record;
        return;
    }
    if (record.EventType == MOUSE_EVENT && record.Event.MouseEvent.dwEventFlags == MOUSE_MOVED && !records.empty()) {
        INPUT_RECORD& last = records.back();
        if (last.EventType == MOUSE_EVENT && last.Event.MouseEvent.dwEventFlags == MOUSE_MOVED) {
            last = record;
            return;
        }
    }
    records.push_back(record);
}

void InputQueue::markKey(std::size_t i, std::uint32_t controlBits) {
    if (i < records.size() && records[i].EventType == KEY_EVENT) records[i].Event.KeyEvent.dwControlKeyState |= controlBits;
}

bool InputQueue::pop(INPUT_RECORD& record) {
    if (records.empty()) return false;
    record = records.front();
    records.pop_front();
    return true;
}

void TerminalInputDecoder::reset() {
    pending.clear();
    pendingSince = 0;
    buttons = 0;
    pasting = pasteBegins = pastedCr = false;
}

void TerminalInputDecoder::feed(const char* bytes, std::size_t length, std::uint64_t nowMs, InputQueue& out) {
    if (length == 0) return;
    expire(nowMs, out);
    std::size_t before = pending.size();
    pending.append(bytes, length);
    std::size_t total = pending.size();
    run(false, out);
    // A unit that started in this read waits from now; an older one keeps its time.
    if (!pending.empty() && total - pending.size() >= before) pendingSince = nowMs;
}

void TerminalInputDecoder::expire(std::uint64_t nowMs, InputQueue& out) {
    if (!pending.empty() && nowMs - pendingSince >= escapeTimeoutMs) run(true, out);
}

int TerminalInputDecoder::millisecondsUntilExpiry(std::uint64_t nowMs) const {
    if (pending.empty()) return -1;
    std::uint64_t due = pendingSince + escapeTimeoutMs;
    return nowMs >= due ? 0 : static_cast<int>(due - nowMs);
}

void TerminalInputDecoder::run(bool timedOut, InputQueue& out) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(pending.data());
    std::size_t n = pending.size(), at = 0;
    while (at < n) {
        std::size_t used = 0;
        const Parse parse = pasting ? decodePasted(p + at, n - at, used, timedOut, out)
                                    : decodeOne(p + at, n - at, used, timedOut, out);
        if (parse == Parse::incomplete) break;
        at += used;
    }
    pending.erase(0, at);
}

TerminalInputDecoder::Parse TerminalInputDecoder::decodeOne(const std::uint8_t* p, std::size_t n, std::size_t& used,
                                                            bool timedOut, InputQueue& out) {
    std::uint8_t b = p[0];
    if (b == 0x1B) return decodeEscape(p, n, used, timedOut, out);
    if (b >= 0x80) return decodeUtf8(p, n, used, timedOut, out);
    used = 1;
    switch (b) {
    case 0x0D: case 0x0A: pushKey(out, VK_RETURN, 0x0D, 0); break;
    case 0x08: case 0x7F: pushKey(out, VK_BACK, 0x08, 0); break;
    case 0x09: pushKey(out, VK_TAB, 0x09, 0); break;
    case 0x00: pushKey(out, VK_SPACE, 0, LEFT_CTRL_PRESSED); break;
    case 0x1C: pushKey(out, 0xDC, b, LEFT_CTRL_PRESSED); break;
    case 0x1D: pushKey(out, 0xDD, b, LEFT_CTRL_PRESSED); break;
    case 0x1E: pushKey(out, '6', b, LEFT_CTRL_PRESSED | SHIFT_PRESSED); break;
    case 0x1F: pushKey(out, 0xBD, b, LEFT_CTRL_PRESSED | SHIFT_PRESSED); break;
    default:
        // Ctrl+letter arrives as the control byte and never as a signal.
        if (b < 0x20) pushKey(out, static_cast<std::uint16_t>('A' + b - 1), b, LEFT_CTRL_PRESSED);
        else pushAscii(out, b);
    }
    return Parse::done;
}

TerminalInputDecoder::Parse TerminalInputDecoder::decodeEscape(const std::uint8_t* p, std::size_t n,
                                                               std::size_t& used, bool timedOut, InputQueue& out) {
    if (n == 1) {
        if (!timedOut) return Parse::incomplete;
        pushKey(out, VK_ESCAPE, 0x1B, 0);
        used = 1;
        return Parse::done;
    }
    if (p[1] == 0x1B) {
        pushKey(out, VK_ESCAPE, 0x1B, 0);
        used = 1;
        return Parse::done;
    }
    if (p[1] == '[' || p[1] == 'O') {
        Parse result = Parse::incomplete;
        if (p[1] == '[') {
            result = decodeCsi(p, n, used, out);
        } else if (n >= 3) {
            // SS3: an optional modifier digit, then the key letter.
            std::size_t i = 2;
            int modifier = 0;
            // Capped like CSI parameters: a long run of digits must not overflow.
            for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i)
                if (modifier < 100000) modifier = modifier * 10 + (p[i] - '0');
            if (i < n) {
                used = i + 1;
                result = Parse::done;
                if (std::uint16_t vk = letterKey(p[i])) pushSpecial(out, vk, modifier);
                else if (p[i] == 'M') pushKey(out, VK_RETURN, 0x0D, 0);
            }
        }
        if (result == Parse::done || !timedOut) return result;
        // The sequence never finished: it was Alt+'[' or Alt+'O' followed by text.
    }
    // Alt+key arrives as Escape followed by the key.
    InputQueue inner;
    std::size_t innerUsed = 0;
    if (decodeOne(p + 1, n - 1, innerUsed, timedOut, inner) == Parse::incomplete) return Parse::incomplete;
    used = 1 + innerUsed;
    INPUT_RECORD r;
    while (inner.pop(r)) {
        if (r.EventType == KEY_EVENT) r.Event.KeyEvent.dwControlKeyState |= LEFT_ALT_PRESSED;
        out.push(r);
    }
    return Parse::done;
}

TerminalInputDecoder::Parse TerminalInputDecoder::decodePasted(const std::uint8_t* p, std::size_t n, std::size_t& used,
                                                               bool timedOut, InputQueue& out) {
    static constexpr char endMarker[] = "\x1b[201~";
    constexpr std::size_t endLength = sizeof endMarker - 1;
    if (p[0] == 0x1B) {
        const std::size_t compared = std::min(n, endLength);
        if (std::equal(p, p + compared, endMarker)) {
            if (compared < endLength) {
                if (!timedOut) return Parse::incomplete;
                pasting = false; // the end never came: the paste is over
                used = compared;
                return Parse::done;
            }
            pasting = false;
            used = endLength;
            return Parse::done;
        }
        used = 1; // an escape inside pasted text is no key
        return Parse::done;
    }
    const std::size_t before = out.size();
    Parse parse = Parse::done;
    used = 1;
    if (p[0] == '\n' && pastedCr) {
        // CR LF: the LF is the same line break
    } else if (p[0] == '\r' || p[0] == '\n') {
        pushKey(out, VK_RETURN, 0x0D, 0);
    } else if (p[0] == '\t') {
        pushKey(out, VK_TAB, 0x09, 0);
    } else if (p[0] >= 0x80) {
        parse = decodeUtf8(p, n, used, timedOut, out);
    } else if (p[0] >= 0x20 && p[0] < 0x7F) {
        pushAscii(out, p[0]);
    }
    if (parse == Parse::incomplete) return parse;
    pastedCr = p[0] == '\r';
    for (std::size_t i = before; i < out.size(); ++i) {
        std::uint32_t mark = PASTED_TEXT;
        if (pasteBegins) mark |= PASTE_BEGIN, pasteBegins = false;
        out.markKey(i, mark);
    }
    return Parse::done;
}

TerminalInputDecoder::Parse TerminalInputDecoder::decodeCsi(const std::uint8_t* p, std::size_t n, std::size_t& used,
                                                            InputQueue& out) {
    if (n < 3) return Parse::incomplete;
    // The Linux console: F1-F5 as ESC [ [ A .. ESC [ [ E.
    if (p[2] == '[') {
        if (n < 4) return Parse::incomplete;
        used = 4;
        if (p[3] >= 'A' && p[3] <= 'E') pushSpecial(out, static_cast<std::uint16_t>(VK_F1 + p[3] - 'A'), 0);
        return Parse::done;
    }
    std::size_t i = 2;
    while (i < n && p[i] >= 0x30 && p[i] <= 0x3F) ++i;
    while (i < n && p[i] >= 0x20 && p[i] <= 0x2F) ++i;
    if (i >= n) {
        if (n > longestSequence) {
            used = n; // runaway sequence: drop it
            return Parse::done;
        }
        return Parse::incomplete;
    }
    std::uint8_t last = p[i];
    if (last < 0x40 || last > 0x7E) {
        // Broken off by a byte that cannot end it: drop what came before that byte.
        used = i;
        return Parse::done;
    }
    used = i + 1;
    std::uint8_t marker = (p[2] >= 0x3C && p[2] <= 0x3F) ? p[2] : 0;
    int params[4] = {0, 0, 0, 0};
    int count = 0;
    for (std::size_t k = marker ? 3 : 2; k < i; ++k) {
        if (p[k] >= '0' && p[k] <= '9') {
            if (count < 4 && params[count] < 100000) params[count] = params[count] * 10 + (p[k] - '0');
        } else if (p[k] == ';') {
            ++count;
        }
    }
    // Old X10 mouse reports: ESC [ M and three bytes.
    if (last == 'M' && i == 2) {
        if (n < 6) return Parse::incomplete;
        used = 6;
        int code = p[3] - 32;
        bool release = (code & 3) == 3 && !(code & (32 | 64));
        mouse(code, p[4] - 32, p[5] - 32, release, out);
        return Parse::done;
    }
    if (marker == '<') {
        if (last == 'M' || last == 'm') mouse(params[0], params[1], params[2], last == 'm', out);
        return Parse::done;
    }
    if (marker) return Parse::done; // replies to queries we never make
    if (last == '~' && params[0] == 200) {
        pasting = pasteBegins = true;
        pastedCr = false;
    } else if (last == '~') {
        if (std::uint16_t vk = tildeKey(params[0])) pushSpecial(out, vk, params[1]);
    } else if (last == 'Z') {
        pushKey(out, VK_TAB, 0x09, SHIFT_PRESSED);
    } else if (std::uint16_t vk = letterKey(last)) {
        pushSpecial(out, vk, params[1]);
    }
    return Parse::done;
}

TerminalInputDecoder::Parse TerminalInputDecoder::decodeUtf8(const std::uint8_t* p, std::size_t n, std::size_t& used,
                                                             bool timedOut, InputQueue& out) {
    std::uint8_t b = p[0];
    std::size_t need = b >= 0xC2 && b <= 0xDF ? 1 : b >= 0xE0 && b <= 0xEF ? 2 : b >= 0xF0 && b <= 0xF4 ? 3 : 0;
    if (need == 0) {
        used = 1;
        pushAscii(out, '?');
        return Parse::done;
    }
    std::uint32_t cp = b & (0x3F >> need);
    for (std::size_t i = 1; i <= need; ++i) {
        if (i >= n) {
            if (!timedOut) return Parse::incomplete;
            used = i;
            pushAscii(out, '?');
            return Parse::done;
        }
        if (!isContinuation(p[i])) {
            // A truncated character: replace it, keep the byte that broke it off.
            used = i;
            pushAscii(out, '?');
            return Parse::done;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    used = need + 1;
    static constexpr std::uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    std::uint8_t gbk[2];
    int length = 0;
    if (cp >= smallest[need] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) length = unicodeToGbk(cp, gbk);
    if (length == 0) {
        pushAscii(out, '?');
        return Parse::done;
    }
    for (int i = 0; i < length; ++i) pushKey(out, 0, gbk[i], 0);
    return Parse::done;
}

void TerminalInputDecoder::mouse(int code, int x, int y, bool release, InputQueue& out) {
    if (code & 128) return; // buttons beyond the fifth
    MOUSE_EVENT_RECORD m{};
    auto clamp = [](int v) { return static_cast<std::int16_t>(v < 1 ? 0 : v > 32767 ? 32767 : v - 1); };
    m.dwMousePosition = {clamp(x), clamp(y)};
    if (code & 4) m.dwControlKeyState |= SHIFT_PRESSED;
    if (code & 8) m.dwControlKeyState |= LEFT_ALT_PRESSED;
    if (code & 16) m.dwControlKeyState |= LEFT_CTRL_PRESSED;
    int button = code & 3;
    if (code & 64) {
        if (release || button > 1) return; // no release for wheels; sideways wheels unused
        // The wheel direction lives in the high word, as a signed multiple of 120.
        std::uint16_t delta = button == 0 ? 120 : static_cast<std::uint16_t>(-120);
        m.dwButtonState = (static_cast<std::uint32_t>(delta) << 16) | buttons;
        m.dwEventFlags = MOUSE_WHEELED;
    } else {
        static constexpr std::uint32_t bits[] = {FROM_LEFT_1ST_BUTTON_PRESSED, FROM_LEFT_2ND_BUTTON_PRESSED,
                                                 RIGHTMOST_BUTTON_PRESSED, 0};
        std::uint32_t bit = bits[button];
        if (code & 32) {
            // Motion reports which button is down: trust it over a press or release we missed.
            buttons = bit ? (buttons | bit) : 0;
            m.dwEventFlags = MOUSE_MOVED;
        } else if (release) {
            buttons = bit ? (buttons & ~bit) : 0;
        } else {
            buttons |= bit;
        }
        m.dwButtonState = buttons;
    }
    INPUT_RECORD r;
    r.EventType = MOUSE_EVENT;
    r.Event.MouseEvent = m;
    out.push(r);
}

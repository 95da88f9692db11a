// One entry per level: what a run starts with and what a halt must show.
// r(run) is the run's draw (in the game gameRand(), glibc's rand() sequence);
// every level draws its data in the order written, so a seeded generator reproduces the same test data run after run.
#include "levels/levels.h"

#include <iterator>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "levels/boundary_runs.h"
#include "levels/level_inputs.h"
#include "levels/custom_level.h"
#include "levels/game_random.h"
#include "levels/level_run.h"
#include "shell/messages.h"

namespace {

using Check = std::uint16_t (*)(const LevelRun&, std::uint16_t);

// During a run the feeders' draws are recorded (and played back when the run
// is replayed or re-executed after a step back); see step_history.h. A
// boundary run never touches rand(): its set-up and feeder draw from a fixed
// generator of its own, seeded by the run's number, so the random runs stay
// as they are and a boundary run is the same every time it is played.
GlibcRandom boundaryGenerator;
int boundaryDraw() { return boundaryGenerator.next(); }
int draw(LevelRun& run) { return run.draw(run.boundaryRun ? boundaryDraw : gameRand); }
std::uint8_t r8(LevelRun& run) { return static_cast<std::uint8_t>(draw(run)); }
unsigned r(LevelRun& run) { return static_cast<unsigned>(draw(run)); }

std::uint16_t expect(unsigned value) { return static_cast<std::uint8_t>(value); }

// Powers and factorials keep 8 bits after every multiplication.
std::uint8_t power8(std::uint8_t base, unsigned exponent) {
    std::uint8_t result = 1;
    for (unsigned i = 0; i < exponent; ++i) result = static_cast<std::uint8_t>(result * base);
    return result;
}

std::uint8_t factorial8(int n) {
    std::uint8_t result = 1;
    for (int i = 2; i <= n; ++i) result = static_cast<std::uint8_t>(result * i);
    return result;
}

void pressKey(LevelRun& run, std::uint8_t key) {
    if (key != 0 && key != run.machine->pendingKey) run.noteKey(key);
    run.machine->pendingKey = key;
}
bool keyPending(const LevelRun& run) { return run.machine->pendingKey != 0; }

void installRegisterCheck(LevelRun& run, Check check) {
    LevelRun* owner = &run;
    run.registerCheck = [owner, check](std::uint16_t index) { return check(*owner, index); };
}

void installMemoryCheck(LevelRun& run, Check check) {
    LevelRun* owner = &run;
    run.memoryCheck = [owner, check](std::uint16_t address) { return check(*owner, address); };
}

void writeBytes(LevelRun& run, std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t b : bytes) run.machine->memory[address++] = b;
}

// Levels 25 and 26 type a text with occasional wrong keys that are deleted at once.
void typeTextWithMistakes(LevelRun& run, bool letters) {
    std::uint8_t* s = run.scratch;
    if (keyPending(run)) return;
    if (s[4]) {
        pressKey(run, 0x08);
        s[4] = 0;
    } else if (r(run) % 10 == 0) {
        pressKey(run, static_cast<std::uint8_t>(letters ? 'A' + r(run) % 26 : '0' + r(run) % 10));
        s[4] = 1;
    } else if (s[15] < s[0]) {
        pressKey(run, s[5 + s[15]]);
        ++s[15];
    }
}

void installFeeder(LevelRun& run, void (*feeder)(LevelRun&)) {
    LevelRun* owner = &run;
    run.machine->stepHook = [owner, feeder] { feeder(*owner); };
}

// ---- the levels -------------------------------------------------------------

void level0(LevelRun& run) {
    installRegisterCheck(run, [](const LevelRun&, std::uint16_t i) -> std::uint16_t { return i == 0 ? 0xFF : NOT_CHECKED; });
}

void level1(LevelRun& run) {
    run.presetRegisters[1] = r8(run);
    run.presetRegisters[2] = r8(run);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 3 ? expect(g.presetRegisters[1] + g.presetRegisters[2]) : NOT_CHECKED;
    });
}

void level2(LevelRun& run) {
    run.presetRegisters[1] = r8(run);
    run.presetRegisters[2] = r8(run);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 3 ? expect(g.presetRegisters[1] * g.presetRegisters[2]) : NOT_CHECKED;
    });
}

void level3(LevelRun& run) {
    run.presetRegisters[1] = r8(run);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 2 ? expect(g.presetRegisters[1] + 5) : NOT_CHECKED;
    });
}

void level4(LevelRun& run) {
    run.presetRegisters[1] = r8(run);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 1 ? expect(g.presetRegisters[1] - 5u) : NOT_CHECKED;
    });
}

void level5(LevelRun& run) {
    run.presetRegisters[1] = r8(run);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 1 ? expect(3u * g.presetRegisters[1] + 0x0A) : NOT_CHECKED;
    });
    installMemoryCheck(run, [](const LevelRun&, std::uint16_t a) -> std::uint16_t {
        static constexpr std::uint8_t hlt[4] = {0x01, 0x11, 0x00, 0x01};
        return a >= 4 && a <= 7 ? hlt[a - 4] : NOT_CHECKED;
    });
}

void level6(LevelRun& run) {
    run.presetRegisters[1] = r8(run);
    run.presetRegisters[2] = r8(run);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 3 ? expect(g.presetRegisters[1] > g.presetRegisters[2]) : NOT_CHECKED;
    });
}

void level7(LevelRun& run) {
    run.presetRegisters[1] = r8(run);
    run.presetRegisters[2] = r8(run);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 3 ? expect(g.presetRegisters[1] >= g.presetRegisters[2]) : NOT_CHECKED;
    });
}

void level8(LevelRun& run) {
    run.presetRegisters[1] = static_cast<std::uint8_t>(r(run) & 0xF);
    run.presetRegisters[2] = static_cast<std::uint8_t>((r(run) & 3) + 1);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 3 ? expect(power8(g.presetRegisters[1], g.presetRegisters[2])) : NOT_CHECKED;
    });
}

void level9(LevelRun& run) {
    run.presetRegisters[2] = r8(run);
    writeBytes(run, 0x0100, assembler.complie("iset 4 200\naddi r2 r2 12\nmuli r2 r2 3\nret\n"));
    writeBytes(run, 0x0200, assembler.complie("muli r2 r2 0\nhlt\n"));
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 2 ? expect(3u * g.presetRegisters[2] + 0x36) : NOT_CHECKED;
    });
    // Everything the function writes: r2, its ISET entry (interrupt 4 at
    // FE08 = 0200) and, after its ret, the stack as it was.
    installMemoryCheck(run, [](const LevelRun&, std::uint16_t a) -> std::uint16_t {
        if (a == 0xFE08) return 0x00;
        if (a == 0xFE09) return 0x02;
        return NOT_CHECKED;
    });
    run.expectedSp = 0xFD00;
}

void level10(LevelRun& run) {
    run.presetRegisters[1] = r8(run);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 1 ? expect(g.presetRegisters[1] + 5) : NOT_CHECKED;
    });
    installMemoryCheck(run, [](const LevelRun&, std::uint16_t a) -> std::uint16_t {
        if (a > 7) return NOT_CHECKED;
        Asm fresh;
        return fresh.complie("call r0 r0 8\nhlt\n")[a];
    });
    run.expectedSp = 0xFD00; // the function returned with ret
}

void level11(LevelRun& run) {
    run.presetRegisters[1] = r8(run);
    installMemoryCheck(run, [](const LevelRun& g, std::uint16_t a) {
        return a == 0xFD00 ? expect(g.presetRegisters[1]) : NOT_CHECKED;
    });
    run.expectedSp = 0xFD01; // pushed once
}

void level12(LevelRun& run) {
    run.machine->sp = 0xFD01;
    run.machine->memory[0xFD00] = r8(run);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 1 ? expect(g.machine->memory[0xFD00]) : NOT_CHECKED;
    });
    run.expectedSp = 0xFD00; // popped
}

void level13(LevelRun& run) {
    run.presetRegisters[1] = r8(run);
    run.presetRegisters[2] = r8(run);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        if (i == 1) return expect(g.presetRegisters[2]);
        if (i == 2) return expect(g.presetRegisters[1]);
        return NOT_CHECKED;
    });
    run.expectedSp = 0xFD00; // as many pops as pushes
}

void level14(LevelRun& run) {
    run.presetRegisters[1] = static_cast<std::uint8_t>((r(run) & 0xF) + 1);
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 2 ? expect(factorial8(g.presetRegisters[1])) : NOT_CHECKED;
    });
}

void level15(LevelRun& run) {
    std::uint8_t v = r8(run);
    run.scratch[0] = v;
    run.presetRegisters[1] = v;
    run.presetRegisters[2] = static_cast<std::uint8_t>(r8(run) | 0xC0);
    installMemoryCheck(run, [](const LevelRun& g, std::uint16_t a) {
        return a == g.presetRegisters[2] ? expect(g.scratch[0]) : NOT_CHECKED;
    });
}

void level16(LevelRun& run) {
    run.presetRegisters[2] = static_cast<std::uint8_t>(r8(run) | 0xC0);
    std::uint8_t v = r8(run);
    run.scratch[0] = v;
    run.machine->memory[run.presetRegisters[2]] = v;
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 1 ? expect(g.scratch[0]) : NOT_CHECKED;
    });
}

void level17(LevelRun& run) {
    run.presetRegisters[1] = static_cast<std::uint8_t>((r(run) & 0xF) + 1);
    run.presetRegisters[2] = static_cast<std::uint8_t>((r(run) & 0xF) - 0x60);
    installMemoryCheck(run, [](const LevelRun& g, std::uint16_t a) {
        unsigned k = a - static_cast<unsigned>(g.presetRegisters[2]);
        if (a < g.presetRegisters[2] || k > 15) return NOT_CHECKED;
        return expect(factorial8(static_cast<int>(g.presetRegisters[1] + k)));
    });
}

std::uint16_t checkR1AgainstScratch0(const LevelRun& g, std::uint16_t i) { return i == 1 ? expect(g.scratch[0]) : NOT_CHECKED; }

void level18(LevelRun& run) {
    run.scratch[0] = static_cast<std::uint8_t>((r(run) & 0x7F) + 1);
    run.scratch[1] = 0;
    installRegisterCheck(run, checkR1AgainstScratch0);
    installFeeder(run, [](LevelRun& g) {
        ++g.scratch[1];
        if (g.scratch[1] > 2 && (r(g) & 1)) g.machine->write(0x0100, g.scratch[0]);
    });
}

// A boundary run's key is the value, written once keyDelay steps have run
// (s[1..2] count them).
void level18GivenKeys(LevelRun& run, const BoundaryRun& boundary) {
    run.scratch[0] = boundary.keys.empty() ? 0 : boundary.keys.front();
    run.scratch[1] = static_cast<std::uint8_t>(boundary.keyDelay);
    run.scratch[2] = static_cast<std::uint8_t>(boundary.keyDelay >> 8);
    installFeeder(run, [](LevelRun& g) {
        std::uint8_t* s = g.scratch;
        if (s[1] == 0 && s[2] == 0) {
            g.machine->write(0x0100, s[0]);
            return;
        }
        if (s[1]-- == 0) --s[2];
    });
}

void level19(LevelRun& run) {
    run.scratch[0] = r8(run);
    run.scratch[1] = 0;
    installRegisterCheck(run, checkR1AgainstScratch0);
    installFeeder(run, [](LevelRun& g) {
        ++g.scratch[1];
        if (g.scratch[1] > 2) pressKey(g, g.scratch[0]);
    });
}

void level20(LevelRun& run) {
    std::uint8_t* s = run.scratch;
    unsigned v = r(run) % 100;
    s[0] = static_cast<std::uint8_t>(v);
    s[1] = static_cast<std::uint8_t>(v / 10);
    s[2] = static_cast<std::uint8_t>(v % 10);
    s[3] = 0;
    installRegisterCheck(run, checkR1AgainstScratch0);
    installFeeder(run, [](LevelRun& g) {
        std::uint8_t* s = g.scratch;
        if (keyPending(g)) return;
        if (s[3] == 7) pressKey(g, static_cast<std::uint8_t>('0' + s[1]));
        if (s[3] == 10) pressKey(g, static_cast<std::uint8_t>('0' + s[2]));
        ++s[3];
    });
}

void level21(LevelRun& run) {
    std::uint8_t* s = run.scratch;
    unsigned a = r(run) % 100;
    s[0] = static_cast<std::uint8_t>(a);
    s[1] = static_cast<std::uint8_t>(a / 10);
    s[2] = static_cast<std::uint8_t>(a % 10);
    unsigned b = r(run) % 100;
    s[3] = static_cast<std::uint8_t>(b);
    s[4] = static_cast<std::uint8_t>(b / 10);
    s[5] = static_cast<std::uint8_t>(b % 10);
    s[6] = 0;
    installRegisterCheck(run, [](const LevelRun& g, std::uint16_t i) {
        return i == 1 ? expect(g.scratch[0] + g.scratch[3]) : NOT_CHECKED;
    });
    installFeeder(run, [](LevelRun& g) {
        std::uint8_t* s = g.scratch;
        if (keyPending(g)) return;
        switch (s[6]) {
        case 1: if (s[1] != 0) pressKey(g, static_cast<std::uint8_t>('0' + s[1])); break;
        case 2: pressKey(g, static_cast<std::uint8_t>('0' + s[2])); break;
        case 3: pressKey(g, 0x20); break;
        case 4: if (s[4] != 0) pressKey(g, static_cast<std::uint8_t>('0' + s[4])); break;
        case 5: pressKey(g, static_cast<std::uint8_t>('0' + s[5])); break;
        case 6: pressKey(g, 0x20); break;
        default: break;
        }
        ++s[6];
    });
}

void level22(LevelRun& run) {
    run.scratch[0] = static_cast<std::uint8_t>('A' + r(run) % 26);
    run.scratch[1] = 0;
    installMemoryCheck(run, [](const LevelRun& g, std::uint16_t a) {
        return a == 0xFC00 ? expect(g.scratch[0]) : NOT_CHECKED;
    });
    installFeeder(run, [](LevelRun& g) {
        if (keyPending(g)) return;
        if (g.scratch[1] > 3) pressKey(g, g.scratch[0]);
        ++g.scratch[1];
    });
}

// A line of n - 1 letters and Enter, stored from s[first] on.
void drawLetterLine(LevelRun& g, std::uint8_t* s, unsigned first, unsigned n) {
    for (unsigned j = 0; j + 1 < n; ++j) s[first + j] = static_cast<std::uint8_t>('A' + r(g) % 26);
    s[first + n - 1] = 0x0D;
}

void level23(LevelRun& run) {
    std::uint8_t* s = run.scratch;
    s[0] = 0;
    unsigned n = (r(run) & 7) + 1;
    s[1] = static_cast<std::uint8_t>(n);
    drawLetterLine(run, s, 2, n);
    installMemoryCheck(run, [](const LevelRun& g, std::uint16_t a) {
        unsigned j = a - 0xFC00u;
        if (a < 0xFC00 || j + 2 > g.scratch[1]) return NOT_CHECKED;
        return expect(g.scratch[2 + j]);
    });
    installFeeder(run, [](LevelRun& g) {
        std::uint8_t* s = g.scratch;
        if (keyPending(g) || s[0] >= s[1]) return;
        pressKey(g, s[2 + s[0]]);
        ++s[0];
    });
}

void level24(LevelRun& run) {
    std::uint8_t* s = run.scratch;
    unsigned n = (r(run) & 7) + 1;
    s[0] = static_cast<std::uint8_t>(n);
    s[1] = 0;
    s[2] = 0;
    drawLetterLine(run, s, 3, n);
    // The letters, and the cell after them: a wrong letter typed there last
    // was deleted, so it must be cleared.
    installMemoryCheck(run, [](const LevelRun& g, std::uint16_t a) {
        unsigned j = a - 0xFC00u;
        if (a < 0xFC00 || j + 1 > g.scratch[0]) return NOT_CHECKED;
        return j + 1 == g.scratch[0] ? expect(0) : expect(g.scratch[3 + j]);
    });
    installFeeder(run, [](LevelRun& g) {
        std::uint8_t* s = g.scratch;
        if (keyPending(g)) return;
        if (s[2]) {
            pressKey(g, 0x08);
            s[2] = 0;
        } else if (r(g) & 1) {
            pressKey(g, static_cast<std::uint8_t>('A' + r(g) % 26));
            s[2] = 1;
        } else if (s[1] < s[0]) {
            pressKey(g, s[3 + s[1]]);
            ++s[1];
        }
    });
}

void level25(LevelRun& run) {
    std::uint8_t* s = run.scratch;
    unsigned a = r(run) % 100;
    s[1] = static_cast<std::uint8_t>(a);
    unsigned b = r(run) % 100;
    s[2] = static_cast<std::uint8_t>(b);
    unsigned op = r(run) % 2;
    s[3] = static_cast<std::uint8_t>(op);
    s[4] = 0;
    char text[16];
    int length = std::snprintf(text, sizeof text, "%u%c%u%c", a, op ? 0x6B : 0x6D, b, 0x0D);
    std::memcpy(s + 5, text, static_cast<std::size_t>(length));
    s[0] = static_cast<std::uint8_t>(length);
    s[15] = 0;
    installMemoryCheck(run, [](const LevelRun& g, std::uint16_t address) {
        if (address != 0x0200) return NOT_CHECKED;
        const std::uint8_t* s = g.scratch;
        return s[3] ? expect(s[1] + s[2]) : expect(s[1] - s[2]);
    });
    installFeeder(run, [](LevelRun& g) { typeTextWithMistakes(g, false); });
}

constexpr char level26Word[] = "RESULT";

void level26(LevelRun& run) {
    std::uint8_t* s = run.scratch;
    unsigned d = r(run) % 2;
    s[1] = static_cast<std::uint8_t>(d);
    s[4] = 0;
    char text[16];
    int length = std::snprintf(text, sizeof text, "%s%c", level26Word, 0x0D);
    std::memcpy(s + 5, text, static_cast<std::size_t>(length));
    s[0] = static_cast<std::uint8_t>(length);
    s[15] = 0;
    if (d == 1) {
        for (unsigned count = 0;; ++count) {
            if (r(run) % 3 < count) break;
            unsigned p = r(run) % 6;
            std::uint8_t c;
            do c = static_cast<std::uint8_t>('A' + r(run) % 26);
            while (c == s[5 + p]);
            s[5 + p] = c;
        }
    }
    // Two replacements of one letter can restore it, so the expected flag
    // follows the text actually typed rather than the draw.
    installMemoryCheck(run, [](const LevelRun& g, std::uint16_t address) {
        if (address != 0x0200) return NOT_CHECKED;
        return expect(std::memcmp(g.scratch + 5, level26Word, 6) != 0 ? 1 : 0);
    });
    installFeeder(run, [](LevelRun& g) { typeTextWithMistakes(g, true); });
}

void level27(LevelRun& run) {
    std::uint8_t x = r8(run);
    run.scratch[0] = x;
    std::uint8_t y = r8(run);
    run.scratch[1] = y;
    run.machine->sp = 0xFD02;
    run.machine->memory[0xFD00] = x;
    run.machine->memory[0xFD01] = y;
    installMemoryCheck(run, [](const LevelRun& g, std::uint16_t a) {
        if (a == 0x0200) return expect(2);
        if (a == 0x0201) return expect(g.scratch[0]);
        if (a == 0x0202) return expect(g.scratch[1]);
        return NOT_CHECKED;
    });
}

void level28(LevelRun& run) {
    std::uint8_t x = r8(run);
    run.scratch[0] = x;
    std::uint8_t y = r8(run);
    run.scratch[1] = y;
    run.machine->memory[0x0200] = 2;
    run.machine->memory[0x0201] = x;
    run.machine->memory[0x0202] = y;
    installMemoryCheck(run, [](const LevelRun& g, std::uint16_t a) {
        if (a == 0xFD00) return expect(g.scratch[0]);
        if (a == 0xFD01) return expect(g.scratch[1]);
        return NOT_CHECKED;
    });
    run.expectedSp = 0xFD02; // the two values are on the stack again
}

void rfMustBeFF(LevelRun& run) {
    installRegisterCheck(run, [](const LevelRun&, std::uint16_t i) -> std::uint16_t { return i == 15 ? 0xFF : NOT_CHECKED; });
}

// Levels 29 and 30 judge only Rf; what the timer really did is shown after
// each halt as a lesson. The watcher runs at the start of every step, so it
// sees an interrupt entered during the step before, and where an IRET it is
// about to run returns to. Its state is in the scratch bytes (a step back restores them):
// s[0] timer interrupts (stops at FF), s[1] interrupts entered so far,
// s[2..3] the PC of the step before, s[4..5] where the last timer interrupt
// struck, s[6] an IRET comes next, s[7] returns elsewhere (stops at FF).
std::uint32_t iretWord() {
    static const std::uint32_t word = [] {
        Asm fresh;
        const std::vector<std::uint8_t> bytes = fresh.complie("iret\n");
        std::uint32_t w = 0;
        for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i) w |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
        return w;
    }();
    return word;
}

void watchTimer(LevelRun& run) {
    rfMustBeFF(run);
    std::uint8_t* s = run.scratch;
    for (unsigned i = 0; i < 8; ++i) s[i] = 0;
    iretWord();
    installFeeder(run, [](LevelRun& g) {
        std::uint8_t* s = g.scratch;
        const std::uint16_t before = static_cast<std::uint16_t>(s[2] | s[3] << 8);
        if (s[6]) {
            s[6] = 0;
            if (g.machine->pc != static_cast<std::uint16_t>(s[4] | s[5] << 8) && s[7] < 0xFF) ++s[7];
        }
        if (g.machine->interruptEntries != s[1]) {
            s[1] = g.machine->interruptEntries;
            if (g.machine->lastInterrupt == INT_TIMER) {
                if (s[0] < 0xFF) ++s[0];
                s[4] = static_cast<std::uint8_t>(before);
                s[5] = static_cast<std::uint8_t>(before >> 8);
            }
        }
        std::uint32_t word = 0;
        for (unsigned i = 0; i < 4; ++i) word |= static_cast<std::uint32_t>(g.machine->memory[static_cast<std::uint16_t>(g.machine->pc + i)]) << (8 * i);
        s[6] = s[0] != 0 && word == iretWord();
        s[2] = static_cast<std::uint8_t>(g.machine->pc);
        s[3] = static_cast<std::uint8_t>(g.machine->pc >> 8);
    });
}

void openLevel(LevelRun&) {}

// ---- what each level's inputs can be ---------------------------------------
// Each pin turns one derived case into a run: the registers, memory and
// scratch bytes the level's set-up would have drawn, so its checks and
// feeder work on them unchanged.

std::uint8_t byteOf(const InputValues& v, std::size_t i, std::size_t k = 0) { return static_cast<std::uint8_t>(v[i][k]); }

void pinR1(BoundaryRun& run, const InputValues& v) { run.registers = {{1, byteOf(v, 0)}}; }
void pinR2(BoundaryRun& run, const InputValues& v) { run.registers = {{2, byteOf(v, 0)}}; }
void pinR1R2(BoundaryRun& run, const InputValues& v) { run.registers = {{1, byteOf(v, 0)}, {2, byteOf(v, 1)}}; }

void pinStackByte(BoundaryRun& run, const InputValues& v) { run.memory = {{0xFD00, {byteOf(v, 0)}}}; }

void pinStoreAt(BoundaryRun& run, const InputValues& v) {
    run.registers = {{1, byteOf(v, 0)}, {2, byteOf(v, 1)}};
    run.scratch = {{0, byteOf(v, 0)}};
}

void pinLoadFrom(BoundaryRun& run, const InputValues& v) {
    run.registers = {{2, byteOf(v, 0)}};
    run.scratch = {{0, byteOf(v, 1)}};
    run.memory = {{byteOf(v, 0), {byteOf(v, 1)}}};
}

// The results' cells hold FF before: a result must be written, not assumed.
void pinFactorials(BoundaryRun& run, const InputValues& v) {
    pinR1R2(run, v);
    run.memory = {{byteOf(v, 1), std::vector<std::uint8_t>(16, 0xFF)}};
}

void pinWrite100(BoundaryRun& run, const InputValues& v) {
    run.keys = {byteOf(v, 0)};
    run.keyDelay = static_cast<std::uint16_t>(v[1][0]);
}

void pinKey(BoundaryRun& run, const InputValues& v) { run.scratch = {{0, byteOf(v, 0)}, {1, 0}}; }

void pinDigits(BoundaryRun& run, const InputValues& v) {
    const std::uint8_t tens = byteOf(v, 0), units = byteOf(v, 1);
    run.scratch = {{0, static_cast<std::uint8_t>(tens * 10 + units)}, {1, tens}, {2, units}, {3, 0}};
}

void pinTwoNumbers(BoundaryRun& run, const InputValues& v) {
    for (unsigned k = 0; k < 2; ++k) {
        const std::uint8_t n = byteOf(v, k);
        run.scratch.push_back({static_cast<std::uint8_t>(3 * k), n});
        run.scratch.push_back({static_cast<std::uint8_t>(3 * k + 1), static_cast<std::uint8_t>(n / 10)});
        run.scratch.push_back({static_cast<std::uint8_t>(3 * k + 2), static_cast<std::uint8_t>(n % 10)});
    }
    run.scratch.push_back({6, 0});
}

// A line's letters from s[first] on, then Enter.
void pinLine(BoundaryRun& run, const std::vector<unsigned>& letters, std::uint8_t first) {
    for (unsigned letter : letters) run.scratch.push_back({first++, static_cast<std::uint8_t>(letter)});
    run.scratch.push_back({first, 0x0D});
}

void pinLineToShow(BoundaryRun& run, const InputValues& v) {
    run.scratch = {{0, 0}, {1, static_cast<std::uint8_t>(v[0].size() + 1)}};
    pinLine(run, v[0], 2);
}

void pinLineToEdit(BoundaryRun& run, const InputValues& v) {
    run.scratch = {{0, static_cast<std::uint8_t>(v[0].size() + 1)}, {1, 0}, {2, 0}};
    pinLine(run, v[0], 3);
}

void pinSum(BoundaryRun& run, const InputValues& v) {
    const unsigned a = v[0][0], b = v[1][0], plus = v[2][0];
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%u%c%u%c", a, plus ? 0x6B : 0x6D, b, 0x0D);
    run.scratch = {{0, static_cast<std::uint8_t>(length)}, {1, static_cast<std::uint8_t>(a)}, {2, static_cast<std::uint8_t>(b)},
                   {3, static_cast<std::uint8_t>(plus)}, {4, 0}, {15, 0}};
    for (int i = 0; i < length; ++i) run.scratch.push_back({static_cast<std::uint8_t>(5 + i), static_cast<std::uint8_t>(text[i])});
}

void pinWord(BoundaryRun& run, const InputValues& v) {
    run.scratch = {{0, static_cast<std::uint8_t>(v[0].size() + 1)}, {4, 0}, {15, 0}};
    pinLine(run, v[0], 5);
}

void pinSavedStack(BoundaryRun& run, const InputValues& v) {
    run.scratch = {{0, byteOf(v, 0, 0)}, {1, byteOf(v, 0, 1)}};
    run.memory = {{0xFD00, {byteOf(v, 0, 0), byteOf(v, 0, 1)}}};
}

void pinStackInMemory(BoundaryRun& run, const InputValues& v) {
    run.scratch = {{0, byteOf(v, 0, 0)}, {1, byteOf(v, 0, 1)}};
    run.memory = {{0x0201, {byteOf(v, 0, 0), byteOf(v, 0, 1)}}};
}

InputDomain withEdges(InputDomain d, std::vector<unsigned> edges) {
    d.edges = std::move(edges);
    return d;
}

InputDomain typicalAs(InputDomain d, std::vector<unsigned> typical) {
    d.typical = std::move(typical);
    return d;
}

InputDomain shownAs(InputDomain d, InputDomain::Shown shown) {
    d.shown = shown;
    return d;
}

InputDomain decimal(InputDomain d) { return shownAs(std::move(d), InputDomain::Shown::decimal); }
InputDomain letters(InputDomain d) { return shownAs(std::move(d), InputDomain::Shown::letters); }

// Functions, not globals: the table is built on first use, which can come
// while the program's globals are still being constructed.
LevelInputs oneR1() { return {{number("r1")}, {}, pinR1}; }
LevelInputs twoOperands() { return {{number("r1"), number("r2")}, {{0, 1}}, pinR1R2}; }

// Each level's set-up, the addresses its memory check can compare (a level
// without a memory check keeps the whole memory) and what its inputs can be,
// from which its boundary runs are derived. Judging reads only those
// addresses; a test holds every check to its range over many random set-ups,
// and every declared domain to what the set-up draws. A level whose feeder
// takes a boundary run's keys its own way says how.
struct LevelEntry {
    void (*setUp)(LevelRun&);
    MemoryRange checkedMemory = everyAddress;
    LevelInputs inputs = {};
    void (*givenKeys)(LevelRun&, const BoundaryRun&) = nullptr;
};

const std::vector<LevelEntry>& levelTable() {
    static const std::vector<LevelEntry> table = {
        {level0},
        {level1, everyAddress, twoOperands()},
        {level2, everyAddress, twoOperands()},
        {level3, everyAddress, oneR1()},
        {level4, everyAddress, oneR1()},
        {level5, {0x0004, 0x0007}, oneR1()}, // the HLT word after the three instructions
        {level6, everyAddress, twoOperands()},
        {level7, everyAddress, twoOperands()},
        {level8, everyAddress, {{number("r1", 0x0, 0xF), number("r2", 1, 4)}, {{0, 1}}, pinR1R2}},
        {level9, {0xFE08, 0xFE09}, {{number("r2")}, {}, pinR2}}, // the function's ISET entry
        {level10, {0x0000, 0x0007}, oneR1()}, // CALL and HLT
        {level11, {0xFD00, 0xFD00}, oneR1()},
        {level12, everyAddress, {{byteList("栈里的数", 1, 1)}, {}, pinStackByte}},
        {level13, everyAddress, twoOperands()},
        {level14, everyAddress, {{number("r1", 1, 0x10)}, {}, pinR1}},
        {level15, {0x00C0, 0x00FF}, {{number("r1"), number("r2", 0xC0, 0xFF)}, {{0, 1}}, pinStoreAt}}, // R2 | 0xC0
        {level16, everyAddress, {{number("r2", 0xC0, 0xFF), number("r2处的数")}, {{0, 1}}, pinLoadFrom}},
        {level17, {0x00A0, 0x00BE}, // 16 bytes from (0..15) - 0x60
         {{number("r1", 1, 0x10), number("r2", 0xA0, 0xAF)}, {}, pinFactorials}},
        {level18, everyAddress, {{number("地址100的数", 1, 0x80), arrival("写入", 2, 0x300)}, {}, pinWrite100},
         level18GivenKeys},
        {level19, everyAddress, {{number("键码")}, {}, pinKey}},
        {level20, everyAddress, {{decimal(number("十位数字", 0, 9)), decimal(number("个位数字", 0, 9))}, {{0, 1}}, pinDigits}},
        {level21, everyAddress,
         {{decimal(withEdges(number("第一个数", 0, 99), {9, 10})), decimal(withEdges(number("第二个数", 0, 99), {9, 10}))}, {{0, 1}}, pinTwoNumbers}},
        {level22, {0xFC00, 0xFC00}, {{letters(number("按键", 'A', 'Z'))}, {}, pinKey}},
        {level23, {0xFC00, 0xFC06}, {{letters(byteList("一行字母", 0, 7, 'A', 'Z'))}, {}, pinLineToShow}}, // up to seven letters
        {level24, {0xFC00, 0xFC07}, // up to seven letters and the cell after them
         {{letters(byteList("一行字母", 0, 7, 'A', 'Z'))}, {}, pinLineToEdit}},
        {level25, {0x0200, 0x0200},
         {{decimal(withEdges(number("第一个数", 0, 99), {9, 10})), decimal(withEdges(number("第二个数", 0, 99), {9, 10})),
           typicalAs(number("符号(1加0减)", 0, 1), {0})},
          {{0, 1}, {0, 2}, {1, 2}}, // the sign decides how the numbers combine
          pinSum}},
        {level26, {0x0200, 0x0200},
         {{letters(typicalAs(byteList("输入的字母", 6, 6, 'A', 'Z'), {'R', 'E', 'S', 'U', 'L', 'T'}))}, {}, pinWord}},
        {level27, {0x0200, 0x0202}, {{byteList("栈里的两个数", 2, 2)}, {}, pinSavedStack}},
        {level28, {0xFD00, 0xFD01}, {{byteList("内存201起的两个数", 2, 2)}, {}, pinStackInMemory}},
        {watchTimer},
        {watchTimer},
    };
    return table;
}

// The registers each level's set-up above draws (R1 = bit 1, R2 = bit 2).
constexpr std::uint16_t presetMasks[] = {
    0, 0x6, 0x6, 0x2, 0x2, 0x2, 0x6, 0x6, 0x6, 0x4, 0x2, 0x2, 0, 0x6, 0x2, 0x6,
    0x4, 0x6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};
static_assert(std::size(presetMasks) == LAST_CORE_LEVEL + 1);

} // namespace

void setUpLevelRun(LevelRun& run, std::uint16_t level) {
    if (const CustomLevel* custom = customLevelFor(level)) return setUpCustomRun(run, *custom);
    (level <= LAST_CORE_LEVEL ? levelTable()[level].setUp : openLevel)(run);
}

MemoryRange checkedMemory(std::uint16_t level) {
    if (const CustomLevel* custom = customLevelFor(level)) return customCheckedMemory(*custom);
    return level <= LAST_CORE_LEVEL ? levelTable()[level].checkedMemory : everyAddress;
}

const std::vector<BoundaryRun>& boundaryRuns(std::uint16_t level) {
    static const std::vector<BoundaryRun> none;
    if (const CustomLevel* custom = customLevelFor(level)) return custom->boundary;
    if (level > LAST_CORE_LEVEL) return none;
    static std::vector<BoundaryRun> derived[LAST_CORE_LEVEL + 1];
    static bool done[LAST_CORE_LEVEL + 1] = {};
    if (!done[level]) {
        derived[level] = deriveBoundaryRuns(levelTable()[level].inputs);
        done[level] = true;
    }
    return derived[level];
}

const LevelInputs& levelInputs(std::uint16_t level) {
    static const LevelInputs none;
    return level <= LAST_CORE_LEVEL ? levelTable()[level].inputs : none;
}

void setUpRunFrom(LevelRun& run, std::uint16_t level, const BoundaryRun& boundary) {
    boundaryGenerator.seed(0x29000u + run.boundaryRun);
    setUpLevelRun(run, level); // its draws come from the boundary generator while run.boundaryRun is set
    for (const auto& [index, value] : boundary.scratch) run.scratch[index & 0xF] = value;
    for (const PresetRegister& preset : boundary.registers) run.presetRegisters[preset.index & 0xF] = preset.value;
    for (const MemoryBlock& block : boundary.memory) writeBytes(run, block.address, block.bytes);
    if (boundary.keys.empty()) return;
    void (*givenKeys)(LevelRun&, const BoundaryRun&) = level <= LAST_CORE_LEVEL ? levelTable()[level].givenKeys : nullptr;
    if (givenKeys) givenKeys(run, boundary);
    else installKeyFeeder(run, boundary);
}

void printHaltLesson(const LevelRun& run, std::uint16_t level) {
    if (customLevelFor(level) || (level != 29 && level != 30)) return;
    const std::uint8_t* s = run.scratch;
    consolePrintf(s[0] == 0xFF ? "定时器中断：发生了%u次以上。\n" : "定时器中断：发生了%u次。\n", static_cast<unsigned>(s[0]));
    if (level == 30)
        consolePrintf(s[7] ? "线程切换了：两个线程都运行了。\n" : "线程没有切换：只有一个线程运行了。\n");
}

void installKeyFeeder(LevelRun& run, const BoundaryRun& boundary) {
    std::uint8_t* s = run.scratch;
    s[0] = 0;
    s[1] = static_cast<std::uint8_t>(boundary.keyDelay);
    s[2] = static_cast<std::uint8_t>(boundary.keyDelay >> 8);
    LevelRun* owner = &run;
    run.machine->stepHook = [owner, keys = boundary.keys] {
        std::uint8_t* s = owner->scratch;
        if (s[1] != 0 || s[2] != 0) {
            if (s[1]-- == 0) --s[2];
            return;
        }
        if (keyPending(*owner) || s[0] >= keys.size()) return;
        pressKey(*owner, keys[s[0]]);
        ++s[0];
    };
}

std::uint16_t presetRegisterMask(std::uint16_t level) {
    if (const CustomLevel* custom = customLevelFor(level)) return customPresetMask(*custom);
    return level <= LAST_CORE_LEVEL ? presetMasks[level] : 0;
}

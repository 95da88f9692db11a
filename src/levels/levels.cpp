// One entry per level: what a run starts with and what a halt must show.
// r() is gameRand() (glibc's rand() sequence); every level draws its data in
// the order written, so a seeded generator reproduces the same test data run after run.
#include "levels/levels.h"

#include <iterator>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "levels/boundary_runs.h"
#include "game/game.h"
#include "levels/game_random.h"
#include "game/run_replay.h"
#include "game/step_history.h"
#include "levels/custom_level.h"

namespace {

using Check = std::uint16_t (*)(const Game&, std::uint16_t);

// During a run the feeders' draws are recorded (and played back when the run
// is replayed or re-executed after a step back); see step_history.h. A
// boundary run draws nothing: every draw of its set-up and feeder is 0.
int draw() { return game.boundaryRun ? 0 : runRand(); }
std::uint8_t r8() { return static_cast<std::uint8_t>(draw()); }
unsigned r() { return static_cast<unsigned>(draw()); }

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

void pressKey(std::uint8_t key) {
    if (key != 0 && key != cpu.pendingKey) noteLevelKey(key);
    cpu.pendingKey = key;
}
bool keyPending() { return cpu.pendingKey != 0; }

void installRegisterCheck(Game& game, Check check) {
    Game* owner = &game;
    game.registerCheck = [owner, check](std::uint16_t index) { return check(*owner, index); };
}

void installMemoryCheck(Game& game, Check check) {
    Game* owner = &game;
    game.memoryCheck = [owner, check](std::uint16_t address) { return check(*owner, address); };
}

void writeBytes(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t b : bytes) cpu.memory[address++] = b;
}

// Levels 25 and 26 type a text with occasional wrong keys that are deleted at once.
void typeTextWithMistakes(Game& game, bool letters) {
    std::uint8_t* s = game.scratch;
    if (keyPending()) return;
    if (s[4]) {
        pressKey(0x08);
        s[4] = 0;
    } else if (r() % 10 == 0) {
        pressKey(static_cast<std::uint8_t>(letters ? 'A' + r() % 26 : '0' + r() % 10));
        s[4] = 1;
    } else if (s[15] < s[0]) {
        pressKey(s[5 + s[15]]);
        ++s[15];
    }
}

void installFeeder(Game& game, void (*feeder)(Game&)) {
    Game* owner = &game;
    cpu.stepHook = [owner, feeder] { feeder(*owner); };
}

// ---- the levels -------------------------------------------------------------

void level0(Game& game) {
    installRegisterCheck(game, [](const Game&, std::uint16_t i) -> std::uint16_t { return i == 0 ? 0xFF : NOT_CHECKED; });
}

void level1(Game& game) {
    game.presetRegisters[1] = r8();
    game.presetRegisters[2] = r8();
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 3 ? expect(g.presetRegisters[1] + g.presetRegisters[2]) : NOT_CHECKED;
    });
}

void level2(Game& game) {
    game.presetRegisters[1] = r8();
    game.presetRegisters[2] = r8();
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 3 ? expect(g.presetRegisters[1] * g.presetRegisters[2]) : NOT_CHECKED;
    });
}

void level3(Game& game) {
    game.presetRegisters[1] = r8();
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 2 ? expect(g.presetRegisters[1] + 5) : NOT_CHECKED;
    });
}

void level4(Game& game) {
    game.presetRegisters[1] = r8();
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 1 ? expect(g.presetRegisters[1] - 5u) : NOT_CHECKED;
    });
}

void level5(Game& game) {
    game.presetRegisters[1] = r8();
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 1 ? expect(3u * g.presetRegisters[1] + 0x0A) : NOT_CHECKED;
    });
    installMemoryCheck(game, [](const Game&, std::uint16_t a) -> std::uint16_t {
        static constexpr std::uint8_t hlt[4] = {0x01, 0x11, 0x00, 0x01};
        return a >= 4 && a <= 7 ? hlt[a - 4] : NOT_CHECKED;
    });
}

void level6(Game& game) {
    game.presetRegisters[1] = r8();
    game.presetRegisters[2] = r8();
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 3 ? expect(g.presetRegisters[1] > g.presetRegisters[2]) : NOT_CHECKED;
    });
}

void level7(Game& game) {
    game.presetRegisters[1] = r8();
    game.presetRegisters[2] = r8();
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 3 ? expect(g.presetRegisters[1] >= g.presetRegisters[2]) : NOT_CHECKED;
    });
}

void level8(Game& game) {
    game.presetRegisters[1] = static_cast<std::uint8_t>(r() & 0xF);
    game.presetRegisters[2] = static_cast<std::uint8_t>((r() & 3) + 1);
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 3 ? expect(power8(g.presetRegisters[1], g.presetRegisters[2])) : NOT_CHECKED;
    });
}

void level9(Game& game) {
    game.presetRegisters[2] = r8();
    writeBytes(0x0100, assembler.complie("iset 4 200\naddi r2 r2 12\nmuli r2 r2 3\nret\n"));
    writeBytes(0x0200, assembler.complie("muli r2 r2 0\nhlt\n"));
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 2 ? expect(3u * g.presetRegisters[2] + 0x36) : NOT_CHECKED;
    });
}

void level10(Game& game) {
    game.presetRegisters[1] = r8();
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 1 ? expect(g.presetRegisters[1] + 5) : NOT_CHECKED;
    });
    installMemoryCheck(game, [](const Game&, std::uint16_t a) -> std::uint16_t {
        if (a > 7) return NOT_CHECKED;
        Asm fresh;
        return fresh.complie("call r0 r0 8\nhlt\n")[a];
    });
}

void level11(Game& game) {
    game.presetRegisters[1] = r8();
    installMemoryCheck(game, [](const Game& g, std::uint16_t a) {
        return a == 0xFD00 ? expect(g.presetRegisters[1]) : NOT_CHECKED;
    });
}

void level12(Game& game) {
    cpu.sp = 0xFD01;
    cpu.memory[0xFD00] = r8();
    installRegisterCheck(game, [](const Game&, std::uint16_t i) {
        return i == 1 ? expect(cpu.memory[0xFD00]) : NOT_CHECKED;
    });
}

void level13(Game& game) {
    game.presetRegisters[1] = r8();
    game.presetRegisters[2] = r8();
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        if (i == 1) return expect(g.presetRegisters[2]);
        if (i == 2) return expect(g.presetRegisters[1]);
        return NOT_CHECKED;
    });
}

void level14(Game& game) {
    game.presetRegisters[1] = static_cast<std::uint8_t>((r() & 0xF) + 1);
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 2 ? expect(factorial8(g.presetRegisters[1])) : NOT_CHECKED;
    });
}

void level15(Game& game) {
    std::uint8_t v = r8();
    game.scratch[0] = v;
    game.presetRegisters[1] = v;
    game.presetRegisters[2] = static_cast<std::uint8_t>(r8() | 0xC0);
    installMemoryCheck(game, [](const Game& g, std::uint16_t a) {
        return a == g.presetRegisters[2] ? expect(g.scratch[0]) : NOT_CHECKED;
    });
}

void level16(Game& game) {
    game.presetRegisters[2] = static_cast<std::uint8_t>(r8() | 0xC0);
    std::uint8_t v = r8();
    game.scratch[0] = v;
    cpu.memory[game.presetRegisters[2]] = v;
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 1 ? expect(g.scratch[0]) : NOT_CHECKED;
    });
}

void level17(Game& game) {
    game.presetRegisters[1] = static_cast<std::uint8_t>((r() & 0xF) + 1);
    game.presetRegisters[2] = static_cast<std::uint8_t>((r() & 0xF) - 0x60);
    installMemoryCheck(game, [](const Game& g, std::uint16_t a) {
        unsigned k = a - static_cast<unsigned>(g.presetRegisters[2]);
        if (a < g.presetRegisters[2] || k > 15) return NOT_CHECKED;
        return expect(factorial8(static_cast<int>(g.presetRegisters[1] + k)));
    });
}

std::uint16_t checkR1AgainstScratch0(const Game& g, std::uint16_t i) { return i == 1 ? expect(g.scratch[0]) : NOT_CHECKED; }

void level18(Game& game) {
    game.scratch[0] = static_cast<std::uint8_t>((r() & 0x7F) + 1);
    game.scratch[1] = 0;
    installRegisterCheck(game, checkR1AgainstScratch0);
    installFeeder(game, [](Game& g) {
        ++g.scratch[1];
        if (g.scratch[1] > 2 && (r() & 1)) cpu.write(0x0100, g.scratch[0]);
    });
}

// A boundary run's key is the value, written once keyDelay steps have run
// (s[1..2] count them).
void level18GivenKeys(Game& game, const BoundaryRun& run) {
    game.scratch[0] = run.keys.empty() ? 0 : run.keys.front();
    game.scratch[1] = static_cast<std::uint8_t>(run.keyDelay);
    game.scratch[2] = static_cast<std::uint8_t>(run.keyDelay >> 8);
    installFeeder(game, [](Game& g) {
        std::uint8_t* s = g.scratch;
        if (s[1] == 0 && s[2] == 0) {
            cpu.write(0x0100, s[0]);
            return;
        }
        if (s[1]-- == 0) --s[2];
    });
}

void level19(Game& game) {
    game.scratch[0] = r8();
    game.scratch[1] = 0;
    installRegisterCheck(game, checkR1AgainstScratch0);
    installFeeder(game, [](Game& g) {
        ++g.scratch[1];
        if (g.scratch[1] > 2) pressKey(g.scratch[0]);
    });
}

void level20(Game& game) {
    std::uint8_t* s = game.scratch;
    unsigned v = r() % 100;
    s[0] = static_cast<std::uint8_t>(v);
    s[1] = static_cast<std::uint8_t>(v / 10);
    s[2] = static_cast<std::uint8_t>(v % 10);
    s[3] = 0;
    installRegisterCheck(game, checkR1AgainstScratch0);
    installFeeder(game, [](Game& g) {
        std::uint8_t* s = g.scratch;
        if (keyPending()) return;
        if (s[3] == 7) pressKey(static_cast<std::uint8_t>('0' + s[1]));
        if (s[3] == 10) pressKey(static_cast<std::uint8_t>('0' + s[2]));
        ++s[3];
    });
}

// A boundary run types its numbers "a b " through the level's own feeder:
// they stand in the scratch bytes the draws fill.
std::uint8_t digitOf(const BoundaryRun& run, std::size_t i) {
    return i < run.keys.size() && run.keys[i] >= '0' && run.keys[i] <= '9' ? static_cast<std::uint8_t>(run.keys[i] - '0') : 0;
}

void level21GivenKeys(Game& game, const BoundaryRun& run) {
    unsigned numbers[2] = {0, 0};
    std::size_t which = 0;
    for (std::size_t i = 0; i < run.keys.size() && which < 2; ++i) {
        if (run.keys[i] == 0x20) ++which;
        else numbers[which] = numbers[which] * 10 + digitOf(run, i);
    }
    std::uint8_t* s = game.scratch;
    for (unsigned k = 0; k < 2; ++k) {
        s[3 * k] = static_cast<std::uint8_t>(numbers[k] % 100);
        s[3 * k + 1] = static_cast<std::uint8_t>(numbers[k] % 100 / 10);
        s[3 * k + 2] = static_cast<std::uint8_t>(numbers[k] % 10);
    }
    s[6] = 0;
}

void level21(Game& game) {
    std::uint8_t* s = game.scratch;
    unsigned a = r() % 100;
    s[0] = static_cast<std::uint8_t>(a);
    s[1] = static_cast<std::uint8_t>(a / 10);
    s[2] = static_cast<std::uint8_t>(a % 10);
    unsigned b = r() % 100;
    s[3] = static_cast<std::uint8_t>(b);
    s[4] = static_cast<std::uint8_t>(b / 10);
    s[5] = static_cast<std::uint8_t>(b % 10);
    s[6] = 0;
    installRegisterCheck(game, [](const Game& g, std::uint16_t i) {
        return i == 1 ? expect(g.scratch[0] + g.scratch[3]) : NOT_CHECKED;
    });
    installFeeder(game, [](Game& g) {
        std::uint8_t* s = g.scratch;
        if (keyPending()) return;
        switch (s[6]) {
        case 1: if (s[1] != 0) pressKey(static_cast<std::uint8_t>('0' + s[1])); break;
        case 2: pressKey(static_cast<std::uint8_t>('0' + s[2])); break;
        case 3: pressKey(0x20); break;
        case 4: if (s[4] != 0) pressKey(static_cast<std::uint8_t>('0' + s[4])); break;
        case 5: pressKey(static_cast<std::uint8_t>('0' + s[5])); break;
        case 6: pressKey(0x20); break;
        default: break;
        }
        ++s[6];
    });
}

void level22(Game& game) {
    game.scratch[0] = static_cast<std::uint8_t>('A' + r() % 26);
    game.scratch[1] = 0;
    installMemoryCheck(game, [](const Game& g, std::uint16_t a) {
        return a == 0xFC00 ? expect(g.scratch[0]) : NOT_CHECKED;
    });
    installFeeder(game, [](Game& g) {
        if (keyPending()) return;
        if (g.scratch[1] > 3) pressKey(g.scratch[0]);
        ++g.scratch[1];
    });
}

// A line of n - 1 letters and Enter, stored from s[first] on.
void drawLetterLine(std::uint8_t* s, unsigned first, unsigned n) {
    for (unsigned j = 0; j + 1 < n; ++j) s[first + j] = static_cast<std::uint8_t>('A' + r() % 26);
    s[first + n - 1] = 0x0D;
}

void level23(Game& game) {
    std::uint8_t* s = game.scratch;
    s[0] = 0;
    unsigned n = (r() & 7) + 1;
    s[1] = static_cast<std::uint8_t>(n);
    drawLetterLine(s, 2, n);
    installMemoryCheck(game, [](const Game& g, std::uint16_t a) {
        unsigned j = a - 0xFC00u;
        if (a < 0xFC00 || j + 2 > g.scratch[1]) return NOT_CHECKED;
        return expect(g.scratch[2 + j]);
    });
    installFeeder(game, [](Game& g) {
        std::uint8_t* s = g.scratch;
        if (keyPending() || s[0] >= s[1]) return;
        pressKey(s[2 + s[0]]);
        ++s[0];
    });
}

void level24(Game& game) {
    std::uint8_t* s = game.scratch;
    unsigned n = (r() & 7) + 1;
    s[0] = static_cast<std::uint8_t>(n);
    s[1] = 0;
    s[2] = 0;
    drawLetterLine(s, 3, n);
    // The letters, and the cell after them: a wrong letter typed there last
    // was deleted, so it must be cleared.
    installMemoryCheck(game, [](const Game& g, std::uint16_t a) {
        unsigned j = a - 0xFC00u;
        if (a < 0xFC00 || j + 1 > g.scratch[0]) return NOT_CHECKED;
        return j + 1 == g.scratch[0] ? expect(0) : expect(g.scratch[3 + j]);
    });
    installFeeder(game, [](Game& g) {
        std::uint8_t* s = g.scratch;
        if (keyPending()) return;
        if (s[2]) {
            pressKey(0x08);
            s[2] = 0;
        } else if (r() & 1) {
            pressKey(static_cast<std::uint8_t>('A' + r() % 26));
            s[2] = 1;
        } else if (s[1] < s[0]) {
            pressKey(s[3 + s[1]]);
            ++s[1];
        }
    });
}

void level25(Game& game) {
    std::uint8_t* s = game.scratch;
    unsigned a = r() % 100;
    s[1] = static_cast<std::uint8_t>(a);
    unsigned b = r() % 100;
    s[2] = static_cast<std::uint8_t>(b);
    unsigned op = r() % 2;
    s[3] = static_cast<std::uint8_t>(op);
    s[4] = 0;
    char text[16];
    int length = std::snprintf(text, sizeof text, "%u%c%u%c", a, op ? 0x6B : 0x6D, b, 0x0D);
    std::memcpy(s + 5, text, static_cast<std::size_t>(length));
    s[0] = static_cast<std::uint8_t>(length);
    s[15] = 0;
    installMemoryCheck(game, [](const Game& g, std::uint16_t address) {
        if (address != 0x0200) return NOT_CHECKED;
        const std::uint8_t* s = g.scratch;
        return s[3] ? expect(s[1] + s[2]) : expect(s[1] - s[2]);
    });
    installFeeder(game, [](Game& g) { typeTextWithMistakes(g, false); });
}

constexpr char level26Word[] = "RESULT";

void level26(Game& game) {
    std::uint8_t* s = game.scratch;
    unsigned d = r() % 2;
    s[1] = static_cast<std::uint8_t>(d);
    s[4] = 0;
    char text[16];
    int length = std::snprintf(text, sizeof text, "%s%c", level26Word, 0x0D);
    std::memcpy(s + 5, text, static_cast<std::size_t>(length));
    s[0] = static_cast<std::uint8_t>(length);
    s[15] = 0;
    if (d == 1) {
        for (unsigned count = 0;; ++count) {
            if (r() % 3 < count) break;
            unsigned p = r() % 6;
            std::uint8_t c;
            do c = static_cast<std::uint8_t>('A' + r() % 26);
            while (c == s[5 + p]);
            s[5 + p] = c;
        }
    }
    // Two replacements of one letter can restore it, so the expected flag
    // follows the text actually typed rather than the draw.
    installMemoryCheck(game, [](const Game& g, std::uint16_t address) {
        if (address != 0x0200) return NOT_CHECKED;
        return expect(std::memcmp(g.scratch + 5, level26Word, 6) != 0 ? 1 : 0);
    });
    installFeeder(game, [](Game& g) { typeTextWithMistakes(g, true); });
}

void level27(Game& game) {
    std::uint8_t x = r8();
    game.scratch[0] = x;
    std::uint8_t y = r8();
    game.scratch[1] = y;
    cpu.sp = 0xFD02;
    cpu.memory[0xFD00] = x;
    cpu.memory[0xFD01] = y;
    installMemoryCheck(game, [](const Game& g, std::uint16_t a) {
        if (a == 0x0200) return expect(2);
        if (a == 0x0201) return expect(g.scratch[0]);
        if (a == 0x0202) return expect(g.scratch[1]);
        return NOT_CHECKED;
    });
}

void level28(Game& game) {
    std::uint8_t x = r8();
    game.scratch[0] = x;
    std::uint8_t y = r8();
    game.scratch[1] = y;
    cpu.memory[0x0200] = 2;
    cpu.memory[0x0201] = x;
    cpu.memory[0x0202] = y;
    installMemoryCheck(game, [](const Game& g, std::uint16_t a) {
        if (a == 0xFD00) return expect(g.scratch[0]);
        if (a == 0xFD01) return expect(g.scratch[1]);
        return NOT_CHECKED;
    });
}

void rfMustBeFF(Game& game) {
    installRegisterCheck(game, [](const Game&, std::uint16_t i) -> std::uint16_t { return i == 15 ? 0xFF : NOT_CHECKED; });
}

void openLevel(Game&) {}

// Each level's set-up, the addresses its memory check can compare (a level
// without a memory check keeps the whole memory) and its boundary runs.
// Judging reads only those addresses; a test holds every check to its range
// over many random set-ups. A level whose feeder takes a boundary run's keys
// its own way says how.
struct LevelEntry {
    void (*setUp)(Game&);
    MemoryRange checkedMemory = everyAddress;
    std::vector<BoundaryRun> boundary = {};
    void (*givenKeys)(Game&, const BoundaryRun&) = nullptr;
};

BoundaryRun given(const char* note, std::vector<PresetRegister> registers, std::vector<MemoryBlock> memory = {},
                  std::vector<std::uint8_t> keys = {}, std::uint16_t keyDelay = 0) {
    return {note, std::move(registers), std::move(memory), std::move(keys), keyDelay};
}

// Boundary runs only for cases random data rarely reach: r1 = r2 comes up in
// 1 run of 256, results that overwrite what was there never (memory starts
// at zero), a key later than a few dozen steps never, a number 0 on level 21
// in 1 run of 50.
const std::vector<LevelEntry>& levelTable() {
    static const std::vector<LevelEntry> table = {
        {level0},
        {level1},
        {level2},
        {level3},
        {level4},
        {level5, {0x0004, 0x0007}}, // the HLT word after the three instructions
        {level6, everyAddress,
         {given("r1与r2相等", {{1, 0x37}, {2, 0x37}}), given("r1只比r2大1", {{1, 0x38}, {2, 0x37}})}},
        {level7, everyAddress,
         {given("r1与r2相等", {{1, 0x37}, {2, 0x37}}), given("r1只比r2小1", {{1, 0x36}, {2, 0x37}})}},
        {level8},
        {level9},
        {level10, {0x0000, 0x0007}}, // CALL and HLT
        {level11, {0xFD00, 0xFD00}},
        {level12},
        {level13},
        {level14},
        {level15, {0x00C0, 0x00FF}}, // R2 | 0xC0
        {level16},
        {level17, {0x00A0, 0x00BE}, // 16 bytes from (0..15) - 0x60
         {given("r1=1，r2=A0，结果区A0~AF原来都是FF", {{1, 0x01}, {2, 0xA0}},
                {{0x00A0, std::vector<std::uint8_t>(16, 0xFF)}})}},
        {level18, everyAddress,
         {given("地址100在0x300步后才写入，值为1", {}, {}, {0x01}, 0x0300)}, level18GivenKeys},
        {level19},
        {level20},
        {level21, everyAddress, {given("两个数都是0", {}, {}, {'0', ' ', '0', ' '})}, level21GivenKeys},
        {level22, {0xFC00, 0xFC00}},
        {level23, {0xFC00, 0xFC06}}, // up to seven letters
        {level24, {0xFC00, 0xFC07}}, // up to seven letters and the cell after them
        {level25, {0x0200, 0x0200}},
        {level26, {0x0200, 0x0200}},
        {level27, {0x0200, 0x0202}},
        {level28, {0xFD00, 0xFD01}},
        {rfMustBeFF},
        {rfMustBeFF},
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

void setUpLevelRun(Game& game, std::uint16_t level) {
    if (const CustomLevel* custom = customLevelFor(level)) return setUpCustomRun(game, *custom);
    (level <= LAST_CORE_LEVEL ? levelTable()[level].setUp : openLevel)(game);
}

MemoryRange checkedMemory(std::uint16_t level) {
    if (const CustomLevel* custom = customLevelFor(level)) return customCheckedMemory(*custom);
    return level <= LAST_CORE_LEVEL ? levelTable()[level].checkedMemory : everyAddress;
}

const std::vector<BoundaryRun>& boundaryRuns(std::uint16_t level) {
    static const std::vector<BoundaryRun> none;
    if (const CustomLevel* custom = customLevelFor(level)) return custom->boundary;
    return level <= LAST_CORE_LEVEL ? levelTable()[level].boundary : none;
}

void setUpRunFrom(Game& game, std::uint16_t level, const BoundaryRun& run) {
    setUpLevelRun(game, level); // every draw is 0 while game.boundaryRun is set
    for (const PresetRegister& preset : run.registers) game.presetRegisters[preset.index & 0xF] = preset.value;
    for (const MemoryBlock& block : run.memory) writeBytes(block.address, block.bytes);
    if (run.keys.empty()) return;
    void (*givenKeys)(Game&, const BoundaryRun&) = level <= LAST_CORE_LEVEL ? levelTable()[level].givenKeys : nullptr;
    if (givenKeys) givenKeys(game, run);
    else installKeyFeeder(game, run);
}

void installKeyFeeder(Game& game, const BoundaryRun& run) {
    std::uint8_t* s = game.scratch;
    s[0] = 0;
    s[1] = static_cast<std::uint8_t>(run.keyDelay);
    s[2] = static_cast<std::uint8_t>(run.keyDelay >> 8);
    Game* owner = &game;
    cpu.stepHook = [owner, keys = run.keys] {
        std::uint8_t* s = owner->scratch;
        if (s[1] != 0 || s[2] != 0) {
            if (s[1]-- == 0) --s[2];
            return;
        }
        if (keyPending() || s[0] >= keys.size()) return;
        pressKey(keys[s[0]]);
        ++s[0];
    };
}

std::uint16_t presetRegisterMask(std::uint16_t level) {
    if (const CustomLevel* custom = customLevelFor(level)) return customPresetMask(*custom);
    return level <= LAST_CORE_LEVEL ? presetMasks[level] : 0;
}

// The level catalogue: presets follow rand() in a fixed order, checks compare
// the right positions, feeders type the right keys.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "cpu/cpu.h"
#include "game/game_random.h"
#include "game/game.h"
#include "game/panels.h"
#include "game_support.h"

namespace {

std::vector<int> draws(unsigned seed, int count) {
    gameSrand(seed);
    std::vector<int> values;
    for (int i = 0; i < count; ++i) values.push_back(gameRand());
    return values;
}

void setUp(unsigned seed, unsigned short level) {
    freshProgram();
    gameSrand(seed);
    game.setLEVEL(level);
}

// Runs the feeder for `steps` steps, taking every key as a program would.
std::vector<std::uint8_t> feederKeys(int steps) {
    std::vector<std::uint8_t> keys;
    for (int i = 0; i < steps; ++i) {
        cpu.stepHook();
        if (cpu.pendingKey) {
            keys.push_back(cpu.pendingKey);
            cpu.pendingKey = 0;
        }
    }
    return keys;
}

std::uint16_t reg(unsigned index) { return game.registerCheck ? game.registerCheck(static_cast<std::uint16_t>(index)) : NOT_CHECKED; }
std::uint16_t mem(unsigned address) { return game.memoryCheck ? game.memoryCheck(static_cast<std::uint16_t>(address)) : NOT_CHECKED; }

} // namespace

TEST(LevelPresets, ArithmeticLevelsDrawR1ThenR2) {
    auto r = draws(77, 2);
    setUp(77, 1);
    EXPECT_EQ(cpu.registers[1], static_cast<std::uint8_t>(r[0]));
    EXPECT_EQ(cpu.registers[2], static_cast<std::uint8_t>(r[1]));
    EXPECT_EQ(reg(3), static_cast<std::uint8_t>(r[0] + r[1]));
    EXPECT_EQ(reg(1), NOT_CHECKED);
    EXPECT_FALSE(game.memoryCheck);

    setUp(77, 4);
    EXPECT_EQ(reg(1), static_cast<std::uint8_t>(static_cast<std::uint8_t>(r[0]) - 5));

    setUp(77, 8);
    const unsigned base = r[0] & 0xF, exponent = (r[1] & 3) + 1;
    std::uint8_t power = 1;
    for (unsigned i = 0; i < exponent; ++i) power = static_cast<std::uint8_t>(power * base);
    EXPECT_EQ(cpu.registers[1], base);
    EXPECT_EQ(cpu.registers[2], exponent);
    EXPECT_EQ(reg(3), power);
}

TEST(LevelPresets, ComparisonsAreUnsigned) {
    for (unsigned seed = 1; seed < 40; ++seed) {
        auto r = draws(seed, 2);
        const std::uint8_t a = static_cast<std::uint8_t>(r[0]), b = static_cast<std::uint8_t>(r[1]);
        setUp(seed, 6);
        EXPECT_EQ(reg(3), a > b ? 1 : 0);
        setUp(seed, 7);
        EXPECT_EQ(reg(3), a >= b ? 1 : 0);
    }
}

TEST(LevelPresets, FixedCodeAndStackLevels) {
    setUp(5, 5);
    EXPECT_EQ(mem(4), 0x01);
    EXPECT_EQ(mem(5), 0x11);
    EXPECT_EQ(mem(6), 0x00);
    EXPECT_EQ(mem(7), 0x01);
    EXPECT_EQ(mem(8), NOT_CHECKED);

    auto r = draws(9, 1);
    setUp(9, 9);
    // iset 4 200 / addi r2 r2 12 / muli r2 r2 3 / ret at 0x100, muli r2 r2 0 / hlt at 0x200.
    const std::uint8_t at100[] = {0x30, 0x42, 0x02, 0x00, 0x22, 0x12, 0x00, 0x12};
    EXPECT_EQ(0, std::memcmp(cpu.memory + 0x100, at100, sizeof at100));
    EXPECT_EQ(cpu.memory[0x204], 0x01);
    EXPECT_EQ(reg(2), static_cast<std::uint8_t>(3 * static_cast<std::uint8_t>(r[0]) + 0x36));

    setUp(10, 10);
    const std::uint8_t callAndHalt[] = {0x30, 0x06, 0x00, 0x08, 0x01, 0x11, 0x00, 0x01};
    for (unsigned a = 0; a < 8; ++a) EXPECT_EQ(mem(a), callAndHalt[a]);

    r = draws(12, 1);
    setUp(12, 12);
    EXPECT_EQ(cpu.sp, 0xFD01);
    EXPECT_EQ(cpu.memory[0xFD00], static_cast<std::uint8_t>(r[0]));
    cpu.memory[0xFD00] = 0x42; // judged against memory as it is at the halt
    EXPECT_EQ(reg(1), 0x42);

    r = draws(27, 2);
    setUp(27, 27);
    EXPECT_EQ(cpu.sp, 0xFD02);
    EXPECT_EQ(mem(0x200), 2);
    EXPECT_EQ(mem(0x201), static_cast<std::uint8_t>(r[0]));
    EXPECT_EQ(mem(0x202), static_cast<std::uint8_t>(r[1]));
}

TEST(LevelPresets, MemoryLevels) {
    auto r = draws(15, 2);
    setUp(15, 15);
    const std::uint8_t address = static_cast<std::uint8_t>(r[1]) | 0xC0;
    EXPECT_EQ(cpu.registers[2], address);
    EXPECT_EQ(mem(address), static_cast<std::uint8_t>(r[0]));

    r = draws(16, 2);
    setUp(16, 16);
    EXPECT_EQ(cpu.memory[static_cast<std::uint8_t>(r[0]) | 0xC0], static_cast<std::uint8_t>(r[1]));
    EXPECT_EQ(reg(1), static_cast<std::uint8_t>(r[1]));

    // Factorials keep 8 bits: from 10! on they are 0.
    for (unsigned seed = 1; seed < 200; ++seed) {
        r = draws(seed, 2);
        if ((r[0] & 0xF) + 1 != 10) continue;
        setUp(seed, 17);
        const std::uint8_t base = cpu.registers[2];
        EXPECT_GE(base, 0xA0);
        EXPECT_LE(base, 0xAF);
        EXPECT_EQ(mem(base), 0);
        EXPECT_EQ(mem(base + 15u), 0);
        EXPECT_EQ(mem(base + 16u), NOT_CHECKED);
        EXPECT_EQ(mem(base - 1u), NOT_CHECKED);
        return;
    }
    FAIL() << "no seed gave R1 = 10";
}

TEST(LevelFeeders, DigitLevelsTypeTensThenUnits) {
    // Level 20 with v < 10 types the tens digit 0 too.
    for (unsigned seed = 1; seed < 500; ++seed) {
        auto r = draws(seed, 1);
        if (r[0] % 100 != 5) continue;
        setUp(seed, 20);
        EXPECT_EQ(feederKeys(20), (std::vector<std::uint8_t>{'0', '5'}));
        EXPECT_EQ(reg(1), 5);
        break;
    }
    // Level 21 skips a zero tens digit but types a zero units digit.
    for (unsigned seed = 1; seed < 5000; ++seed) {
        auto r = draws(seed, 2);
        if (r[0] % 100 != 7 || r[1] % 10 != 0 || r[1] % 100 < 10) continue;
        setUp(seed, 21);
        std::vector<std::uint8_t> expected = {'7', ' ', static_cast<std::uint8_t>('0' + (r[1] % 100) / 10), '0', ' '};
        EXPECT_EQ(feederKeys(10), expected);
        EXPECT_EQ(reg(1), static_cast<std::uint8_t>(7 + r[1] % 100));
        return;
    }
    FAIL() << "no seed gave a = 7 and b ending in 0";
}

TEST(LevelFeeders, LetterLinesAndKeyLevels) {
    auto r = draws(23, 9);
    setUp(23, 23);
    const unsigned n = (r[0] & 7) + 1;
    std::vector<std::uint8_t> expected;
    for (unsigned j = 0; j + 1 < n; ++j) expected.push_back(static_cast<std::uint8_t>('A' + r[1 + j] % 26));
    expected.push_back(0x0D);
    EXPECT_EQ(feederKeys(50), expected);
    for (unsigned j = 0; j + 1 < n; ++j) EXPECT_EQ(mem(0xFC00 + j), expected[j]);
    EXPECT_EQ(mem(0xFC00 + n - 1), NOT_CHECKED);

    r = draws(19, 1);
    setUp(19, 19);
    cpu.stepHook();
    cpu.stepHook();
    EXPECT_EQ(cpu.pendingKey, 0);
    cpu.stepHook();
    EXPECT_EQ(cpu.pendingKey, static_cast<std::uint8_t>(r[0]));

    r = draws(22, 1);
    setUp(22, 22);
    EXPECT_EQ(feederKeys(6), (std::vector<std::uint8_t>{static_cast<std::uint8_t>('A' + r[0] % 26), static_cast<std::uint8_t>('A' + r[0] % 26)}));
    EXPECT_EQ(mem(0xFC00), 'A' + r[0] % 26);
}

TEST(LevelFeeders, WrongKeysAreDeletedAtOnce) {
    for (unsigned seed : {3u, 31u, 314u}) {
        setUp(seed, 24);
        const unsigned n = game.scratch[0];
        std::string typed;
        for (std::uint8_t key : feederKeys(400)) {
            if (key == 0x08) {
                ASSERT_FALSE(typed.empty());
                typed.pop_back();
            } else {
                typed += static_cast<char>(key);
            }
        }
        // After the list: wrong letters keep coming and going, so cut at Enter.
        ASSERT_NE(typed.find('\r'), std::string::npos);
        typed.resize(typed.find('\r'));
        ASSERT_EQ(typed.size(), n - 1);
        for (unsigned j = 0; j + 1 < n; ++j) EXPECT_EQ(mem(0xFC00 + j), static_cast<std::uint8_t>(typed[j]));
    }
}

TEST(LevelFeeders, SignedArithmeticLevelTypesTheExpression) {
    for (unsigned seed = 1; seed < 2000; ++seed) {
        auto r = draws(seed, 3);
        const int a = r[0] % 100, b = r[1] % 100, op = r[2] % 2;
        if (op != 0 || a >= b) continue;
        setUp(seed, 25);
        EXPECT_EQ(mem(0x200), static_cast<std::uint8_t>(a - b)); // e.g. 3 - 5 = FE
        std::string typed;
        for (std::uint8_t key : feederKeys(300)) {
            if (key == 0x08) typed.pop_back();
            else typed += static_cast<char>(key);
        }
        typed.resize(typed.find('\r') + 1);
        EXPECT_EQ(typed, std::to_string(a) + "\x6d" + std::to_string(b) + "\r");
        return;
    }
    FAIL();
}

// The draw may replace one letter twice and restore RESULT; the level then
// expects 0, because the typed text equals RESULT.
TEST(LevelChecks, ComparisonLevelFollowsTheTypedText) {
    bool sawRestored = false, sawAltered = false, sawPlain = false;
    for (unsigned seed = 1; seed < 20000 && !(sawRestored && sawAltered && sawPlain); ++seed) {
        setUp(seed, 26);
        const bool differs = std::memcmp(game.scratch + 5, "RESULT", 6) != 0;
        EXPECT_EQ(mem(0x200), differs ? 1 : 0) << "seed " << seed;
        if (game.scratch[1] == 1 && !differs) sawRestored = true;
        if (game.scratch[1] == 1 && differs) sawAltered = true;
        if (game.scratch[1] == 0) {
            sawPlain = true;
            EXPECT_FALSE(differs);
        }
        EXPECT_EQ(game.scratch[11], 0x0D);
        EXPECT_EQ(game.scratch[0], 7);
    }
    EXPECT_TRUE(sawRestored && sawAltered && sawPlain);
}

TEST(LevelChecks, TimerLevelsAndOpenLevels) {
    setUp(1, 29);
    EXPECT_EQ(reg(15), 0xFF);
    setUp(1, 30);
    EXPECT_EQ(reg(15), 0xFF);
    setUp(1, 31);
    EXPECT_FALSE(game.registerCheck);
    EXPECT_FALSE(game.memoryCheck);
    setUp(1, 500);
    EXPECT_FALSE(game.registerCheck);
    setUp(1, 0);
    EXPECT_EQ(reg(0), 0xFF);
}

TEST(LevelSetUp, ShowsTheDescriptionAndTitle) {
    setUp(1, 12);
    EXPECT_EQ(levelPanel.title, "关卡说明-第12关");
    EXPECT_FALSE(cpu.halted);
    EXPECT_EQ(game.judged, 0);
    EXPECT_EQ(levelReloadRequested, 0);
}

// Every reference solution completes its level through the real judging
// path, with fresh random data per run; every wrong program does not.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "game/level_play.h"
#include "game/panels.h"
#include "game_support.h"
#include "test_support.h"

namespace {
namespace fs = std::filesystem;

const fs::path levelsDir = fs::path(ASMQUEST_SOURCE_DIR) / "tests" / "levels";
constexpr std::uint64_t maxSteps = 1000000;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string solutionName(unsigned level) {
    char name[32];
    std::snprintf(name, sizeof name, "level%02u.asm", level);
    return name;
}

class ReferenceSolution : public testing::TestWithParam<unsigned> {};

TEST_P(ReferenceSolution, CompletesTheLevel) {
    const unsigned level = GetParam();
    const fs::path path = levelsDir / solutionName(level);
    ASSERT_TRUE(fs::exists(path)) << path;
    const std::string source = readFile(path);
    for (unsigned seed : {1u, 20261207u}) {
        const LevelVerdict verdict = playLevel(static_cast<std::uint16_t>(level), source, seed, 257, maxSteps);
        std::string detail = verdict.reason;
        for (const Mismatch& m : verdict.mismatches)
            detail += " " + m.where + " expected " + std::to_string(m.expected) + " got " + std::to_string(m.actual);
        EXPECT_TRUE(verdict.completed) << "level " << level << " seed " << seed << " run " << verdict.failedRun
                                       << ": " << detail;
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, ReferenceSolution, testing::Range(1u, 31u));

TEST(WrongPrograms, NoneCompletesItsLevel) {
    unsigned count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(levelsDir / "wrong")) {
        const std::string name = entry.path().filename().string();
        ASSERT_EQ(name.rfind("level", 0), 0u) << name;
        const unsigned level = static_cast<unsigned>(std::stoul(name.substr(5, 2)));
        const LevelVerdict verdict =
            playLevel(static_cast<std::uint16_t>(level), readFile(entry.path()), 3, 257, maxSteps);
        EXPECT_FALSE(verdict.completed) << name;
        EXPECT_TRUE(verdict.failed) << name;
        ++count;
    }
    EXPECT_GE(count, 10u);
}

// Every row of the console panel, one line each.
std::string consoleText() {
    std::string text;
    for (int row = 0; row < consolePanel.height(); ++row) text += panelRow(consolePanel, row) + "\n";
    return text;
}

// Levels 29 and 30 judge only Rf, and after each halt tell what the timer did.
TEST(HaltLessons, TimerLevelsTellWhatTheTimerDid) {
    const std::string timer = readFile(levelsDir / solutionName(29));
    EXPECT_FALSE(playLevel(29, timer, 1, 2, maxSteps).failed);
    EXPECT_NE(consoleText().find("定时器中断：发生了1次。"), std::string::npos) << consoleText();
    EXPECT_FALSE(playLevel(29, "addi rf r0 ff\nhlt", 1, 2, maxSteps).failed);
    EXPECT_NE(consoleText().find("定时器中断：发生了0次。"), std::string::npos) << consoleText();

    const std::string threads = readFile(levelsDir / solutionName(30));
    EXPECT_FALSE(playLevel(30, threads, 1, 2, maxSteps).failed);
    EXPECT_NE(consoleText().find("两个线程都运行了"), std::string::npos) << consoleText();
    // The timer strikes, but its handler returns where it struck: one thread.
    EXPECT_FALSE(playLevel(30, "iset 0 tick\nsck r0 r0 1\nnop\nnop\naddi rf r0 ff\nhlt\nlabel tick\niret", 1, 2, maxSteps).failed);
    EXPECT_NE(consoleText().find("定时器中断：发生了1次。"), std::string::npos) << consoleText();
    EXPECT_NE(consoleText().find("只有一个线程运行了"), std::string::npos) << consoleText();
}

// A stack level compares SP at the halt and names it in the report.
TEST(StackChecks, SpIsComparedAndReported) {
    const LevelVerdict stored = playLevel(11, "store r1 r0 r0 fd00\nhlt", 1, 257, maxSteps);
    ASSERT_EQ(stored.mismatches.size(), 1u);
    EXPECT_EQ(stored.mismatches[0].where, "SP");
    EXPECT_NE(consoleText().find("SP：应为FD01，实际为FD00"), std::string::npos) << consoleText();
    const LevelVerdict notCalled = playLevel(9, "muli r2 r2 3\naddi r2 r2 36\nhlt", 1, 257, maxSteps);
    ASSERT_FALSE(notCalled.mismatches.empty());
    EXPECT_EQ(notCalled.mismatches[0].where, "FE09");
}

// From level 31 on nothing is compared: every halt passes.
TEST(OpenLevels, LevelThirtyOnePassesEveryHalt) {
    const LevelVerdict verdict = playLevel(31, "hlt", 5, 257, maxSteps);
    EXPECT_TRUE(verdict.completed) << verdict.reason;
}
} // namespace

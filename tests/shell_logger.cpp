// The trace log, written into a temporary working directory.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/logger.h"
#include "test_support.h"

namespace {
std::uint64_t pinnedMillis = 0;
std::uint64_t pinnedClock() { return pinnedMillis; }

const std::uint8_t allEnabled[logKindCount] = {0, 0, 0, 0, 0};

// The log is a text file: on Windows its lines end in CR LF on disk, read back as "\n".
std::string readFile(const char* path) {
#ifdef _WIN32
    std::ifstream in(path);
#else
    std::ifstream in(path, std::ios::binary);
#endif
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A working directory of its own where this executable keeps files.
struct KeptFiles {
    TempDirectory directory;
    KeptFiles() { testKeepsFiles = true; }
    ~KeptFiles() { testKeepsFiles = false; }
};
} // namespace

TEST(Logger, RecordsOfOneMillisecondShareAHeaderAndLoseLineBreaks) {
    KeptFiles files;
    {
        Logger log;
        log.clock = pinnedClock;
        pinnedMillis = 1700000000005;
        log.logWith(allEnabled, LogKind::FunctionCall, "Game::setLEVEL被调用，参数：leveln=0x%X\n", 0x1Fu);
        log.logWith(allEnabled, LogKind::VariableValue, "a\r\nb%s", "\n");
        pinnedMillis = 1700000001234;
        log.logWith(allEnabled, LogKind::Error, "%llu", 42ull);
    }
    EXPECT_EQ(readFile("log.txt"), "\n时间：1700000000.5\n"
                                   "函数调用：Game::setLEVEL被调用，参数：leveln=0x1F\n"
                                   "变量值：ab\n"
                                   "\n时间：1700000001.234\n"
                                   "错误：42\n");
}

TEST(Logger, AppendsAcrossRunsAndEveryRunStartsWithAHeader) {
    KeptFiles files;
    std::ofstream("log.txt", std::ios::binary) << "old\n";
    for (int run = 0; run < 2; ++run) {
        Logger log;
        log.clock = pinnedClock;
        pinnedMillis = 5;
        log.logWith(allEnabled, LogKind::Time, "t");
    }
    EXPECT_EQ(readFile("log.txt"), "old\n\n时间：0.5\n时间：t\n\n时间：0.5\n时间：t\n");
}

// A game that was never played (quit at the size prompt) leaves no log.txt.
TEST(Logger, FixedTableDropsFunctionCallsWithoutTouchingAnyFile) {
    KeptFiles files;
    {
        Logger log;
        log.log(LogKind::FunctionCall, "Game::update被调用");
        log.log(LogKind::FunctionCall, "Game::updateVM被调用\n");
    }
    EXPECT_FALSE(std::filesystem::exists("log.txt"));
    EXPECT_FALSE(std::filesystem::exists("tmp.tmp"));
    EXPECT_EQ(logKindDisabled[0], 1);
    EXPECT_EQ(logKindDisabled[3], 0);
}

TEST(Logger, UnknownKindBecomesAnErrorRecord) {
    KeptFiles files;
    {
        Logger log;
        log.clock = pinnedClock;
        pinnedMillis = 1000;
        log.log(static_cast<LogKind>(0xAB), "ignored %d", 1);
    }
    EXPECT_EQ(readFile("log.txt"), "\n时间：1.0\n错误：未知的日志类型：0xAB\n");
}

TEST(Logger, HostsThatKeepNoFilesNeverCreateTheLog) {
    TempDirectory directory;
    {
        Logger log;
        log.logWith(allEnabled, LogKind::Error, "dropped");
        EXPECT_EQ(log.file, nullptr);
    }
    EXPECT_FALSE(std::filesystem::exists("log.txt"));
    EXPECT_FALSE(std::filesystem::exists("tmp.tmp"));
}

TEST(Logger, LongMessagesAreWrittenWhole) {
    KeptFiles files;
    const std::string big(100000, 'q');
    {
        Logger log;
        log.clock = pinnedClock;
        pinnedMillis = 0;
        log.logWith(allEnabled, LogKind::FunctionReturn, "%s", big.c_str());
    }
    EXPECT_EQ(readFile("log.txt"), "\n时间：0.0\n函数返回：" + big + "\n");
}

// Notes are what a teacher reads: local date and time, one line each, on disk
// at once (a crashed game keeps them); a paused logger writes nothing.
TEST(Logger, NotesAreDatedLinesWrittenAtOnce) {
    KeptFiles files;
    Logger log;
    log.clock = pinnedClock;
    pinnedMillis = 1700000000005;
    log.note("第%u关：编译成功，%d条指令\n", 3u, 2);
    log.paused = true;
    log.note("not written");
    log.logWith(allEnabled, LogKind::Error, "not written either");
    const std::string text = readFile("log.txt"); // read while the logger still holds it
    std::time_t seconds = 1700000000;
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&seconds));
    EXPECT_EQ(text, std::string(stamp) + " 第3关：编译成功，2条指令\n");
}

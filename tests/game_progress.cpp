// Progress files and the start-up choice, in a temporary working directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifdef _WIN32
#include "windows_support.h"
#endif

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cpu/cpu.h"
#include "game/game.h"
#include "game/panels.h"
#include "game_support.h"

namespace {

struct KeptFiles {
    TempDirectory directory;
    KeptFiles() { testKeepsFiles = true; }
    ~KeptFiles() { testKeepsFiles = false; }
};

#ifdef _WIN32
// The game's paths are GBK text with backslashes; the files are opened as any
// Windows program would find them, by their UTF-16 names.
std::string readFile(const std::string& path) {
    std::ifstream in(std::filesystem::path(wideFromGbkPath(path)), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    const std::filesystem::path wide(wideFromGbkPath(path));
    std::filesystem::create_directories(wide.parent_path());
    std::ofstream(wide, std::ios::binary) << bytes;
}

// Code files are text files: CR LF on Windows.
const std::string lineEnd = "\r\n";
const std::string level12CodePath = "levels\\第12关代码.txt";
#else
std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

const std::string lineEnd = "\n";
const std::string level12CodePath = reinterpret_cast<const char*>(u8"levels/第12关代码.txt");
#endif

std::string consoleText() {
    std::string text;
    for (int row = 0; row < consolePanel.height(); ++row) text += panelRow(consolePanel, row) + "\n";
    return text;
}

// Clicks the choice dialog's button with this text.
void answer(const std::string& text) {
    for (const Button& b : choicePanel.buttons)
        if (b.text == text) return click(static_cast<int>(b.x + b.offsetX), static_cast<int>(b.y + b.offsetY));
    FAIL() << "no button " << text;
}

} // namespace

TEST(Progress, AFirstStartAsksNothingAndSavesLevelOne) {
    KeptFiles files;
    freshProgram();
    EXPECT_FALSE(choicePanel.visible);
    EXPECT_TRUE(std::filesystem::is_directory("levels"));
    typeIntoEditor("add r3 r1 r2\rhlt");
    runFrame();
    EXPECT_EQ(readFile(levelCodePath(1)), "add r3 r1 r2" + lineEnd + "hlt");
    EXPECT_EQ(readFile(lastLevelPath()), std::string("\x01\x00", 2));
    EXPECT_EQ(levelCodePath(12), level12CodePath);
#ifdef _WIN32
    EXPECT_TRUE(isHiddenDirectory("levels"));
#endif
}

TEST(Progress, ASecondStartOffersToContinue) {
    KeptFiles files;
    writeFile(lastLevelPath(), std::string("\x0C\x00", 2));
    writeFile(levelCodePath(12), "addi r1 r1 1\r\nhlt\r\n");
    freshProgram();
    runFrame();
    EXPECT_TRUE(choicePanel.visible);
    EXPECT_EQ(choicePanel.title, "选择");
    EXPECT_EQ(panelRow(choicePanel, 0), "你上次玩到第12关，是否继续？");
    EXPECT_EQ(game.level, 0);
    EXPECT_EQ(levelPanel.title, "关卡说明-第0关");
    answer("是");
    EXPECT_FALSE(choicePanel.visible);
    EXPECT_EQ(game.level, 12);
    EXPECT_EQ(editorPanel.getText(), "addi r1 r1 1\nhlt");
    EXPECT_EQ(readFile(levelCodePath(12)), "addi r1 r1 1" + lineEnd + "hlt");
}

TEST(Progress, AnsweringNoStartsLevelOne) {
    KeptFiles files;
    writeFile(lastLevelPath(), std::string("\x05\x00", 2));
    freshProgram();
    runFrame();
    answer("否");
    EXPECT_EQ(game.level, 1);
    EXPECT_EQ(readFile(lastLevelPath()), std::string("\x01\x00", 2));
    EXPECT_EQ(readFile(levelCodePath(1)), "");
}

TEST(Progress, AMissingCodeFileIsReportedAndTheLevelStillStarts) {
    KeptFiles files;
    writeFile(lastLevelPath(), std::string("\x07\x00", 2));
    freshProgram();
    runFrame();
    answer("是");
    EXPECT_NE(consoleText().find("读取文件失败！"), std::string::npos);
    EXPECT_EQ(game.level, 7);
}

TEST(Progress, BadFilesAreHarmless) {
    for (const std::string& content : {std::string(), std::string("\x03", 1)}) {
        KeptFiles files;
        writeFile(lastLevelPath(), content);
        freshProgram();
        runFrame();
        EXPECT_FALSE(choicePanel.visible);
        EXPECT_EQ(game.level, 1);
    }
    KeptFiles files;
    writeFile(lastLevelPath(), std::string("\x02\x00", 2));
    writeFile(levelCodePath(2), std::string("hlt\0\x81\xff\x00zz\n\n\xfe", 12));
    freshProgram();
    runFrame();
    answer("是");
    EXPECT_EQ(game.level, 2);
    EXPECT_EQ(editorPanel.lines.size(), 2u);
    runFrames(3);
}

TEST(Progress, AnUnwritableLevelsDirectoryCostsOneMessage) {
    KeptFiles files;
    std::ofstream("levels") << "a file where the directory should be";
    freshProgram();
    runFrames(2);
    typeIntoEditor("hlt");
    runFrames(3);
    const std::string text = consoleText();
    const auto first = text.find("无法保存进度");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("无法保存进度", first + 1), std::string::npos);
    EXPECT_EQ(game.level, 1);
}

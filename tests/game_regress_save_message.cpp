// Found by the disk hardening test: a failed save named its file in the host's
// UTF-8, which the console panel showed as mojibake. The message names it in
// GBK, with the host's own separator (levels\第1关代码.txt on Windows).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "game/game.h"
#include "game/panels.h"
#include "game_support.h"
#include "shell/host_files.h"

namespace {
std::string consoleRows() {
    std::string text;
    for (int row = 0; row < consolePanel.height(); ++row) text += panelRow(consolePanel, row);
    return text;
}
} // namespace

TEST(SaveMessageRegression, AFailedSaveNamesTheFileInGbk) {
    TempDirectory directory;
    testKeepsFiles = true;
    freshProgram();
    runFrames(2); // saved, so an earlier test's failure is forgotten
    hostReleaseLock(); // Windows keeps a folder whose lock is open
    std::filesystem::remove_all("levels");
    std::ofstream("levels") << "a file where the directory should be";
    typeIntoEditor("hlt");
    const std::string text = consoleRows();
    testKeepsFiles = false;
#ifdef _WIN32
    EXPECT_NE(text.find("无法保存进度：levels\\第1关代码.txt"), std::string::npos) << toUtf8(text);
#else
    EXPECT_NE(text.find("无法保存进度：levels/第1关代码.txt"), std::string::npos) << toUtf8(text);
#endif
}

// Progress files and the start-up choice, in a temporary working directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifdef _WIN32
#include "windows_support.h"
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cpu/cpu.h"
#include "game/game.h"
#include "game/level_select.h"
#include "game/panels.h"
#include "game_support.h"
#include "shell/host_files.h"
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// The game's lock on levels/ is given back before the directory goes.
struct KeptFiles {
    TempDirectory directory;
    KeptFiles() { testKeepsFiles = true; }
    ~KeptFiles() {
        hostReleaseLock();
        testKeepsFiles = false;
    }
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
std::filesystem::path fsPath(const std::string& path) { return wideFromGbkPath(path); }
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
std::filesystem::path fsPath(const std::string& path) { return path; }
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
    runFrame();
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
    // Level 0's text is a secret: behind the question the level panel asks for the answer.
    EXPECT_EQ(levelPanel.title, "关卡说明");
    EXPECT_EQ(panelRow(levelPanel, 0), "请先回答对话框：继续上次的关卡，还是从第1关开始。");
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

TEST(Progress, AnsweringNoKeepsLevelOnesCode) {
    KeptFiles files;
    writeFile(lastLevelPath(), std::string("\x05\x00", 2));
    writeFile(levelCodePath(1), "add r3 r1 r2\nhlt");
    freshProgram();
    runFrame();
    answer("否");
    runFrames(2);
    EXPECT_EQ(game.level, 1);
    EXPECT_EQ(editorPanel.getText(), "add r3 r1 r2\nhlt");
    EXPECT_EQ(readFile(levelCodePath(1)), "add r3 r1 r2" + lineEnd + "hlt");
}

// The dialog answers to its buttons, its close box and the keys Enter, Y, Esc
// (continue) and N (level 1), while it is open and whichever panel is in front.
// The highest level reached is kept apart from the last: a levels folder from
// before it had a file counts its last level, and 否 keeps it. 选关 lists 第1关
// up to it, completed ones marked; a chosen level comes with its own code, as
// does a level reached before when the one below it is completed again.
TEST(Progress, TheHighestLevelIsKeptAndLevelsAreChosenFromTheList) {
    KeptFiles files;
    writeFile(lastLevelPath(), std::string("\x03\x00", 2));
    writeFile(levelCodePath(1), "add r3 r1 r2\nhlt");
    writeFile(levelCodePath(2), "mul r3 r1 r2\nhlt");
    freshProgram();
    runFrame();
    EXPECT_EQ(readFile(highestLevelPath()), std::string("\x03\x00", 2));
    const CellPosition listButton = barButton("选关");
    // The pointer moves to the bar first, as a terminal reports it.
    const auto openList = [&] {
        fakeConsole().pushMouse(listButton.x, listButton.y, 0, MOUSE_MOVED);
        click(listButton.x, listButton.y);
    };
    openList();
    EXPECT_FALSE(levelListPanel.visible); // not while the start-up question is open
    answer("否");
    runFrames(2);
    EXPECT_EQ(game.level, 1);
    EXPECT_EQ(readFile(lastLevelPath()), std::string("\x01\x00", 2));
    EXPECT_EQ(readFile(highestLevelPath()), std::string("\x03\x00", 2));

    typeIntoEditor(" ;mine");
    runFrames(1);
    openList();
    ASSERT_TRUE(levelListPanel.visible);
    EXPECT_EQ(windowList.front(), &levelListPanel);
    EXPECT_EQ(panelRow(levelListPanel, 0), " 第1关   已通过");
    EXPECT_EQ(panelRow(levelListPanel, 1), " 第2关   已通过");
    EXPECT_EQ(panelRow(levelListPanel, 2), " 第3关");
    EXPECT_EQ(panelRow(levelListPanel, 3), "");
    EXPECT_EQ(levelListPanel.grid[3][0].attribute, 0xF0); // the current level is selected
    fakeConsole().pushKey(VK_DOWN, 0);
    fakeConsole().pushKey(VK_RETURN, '\r');
    runFrames(3);
    EXPECT_FALSE(levelListPanel.visible);
    EXPECT_EQ(game.level, 2);
    EXPECT_EQ(levelPanel.title, "关卡说明-第2关");
    EXPECT_EQ(editorPanel.getText(), "mul r3 r1 r2\nhlt");
    EXPECT_EQ(readFile(levelCodePath(1)), " ;mineadd r3 r1 r2" + lineEnd + "hlt"); // the edit went with level 1

    // A click on 第3关, which has no code yet: an empty editor.
    openList();
    click(static_cast<int>(levelListPanel.x) + 3, static_cast<int>(levelListPanel.y) + 2);
    EXPECT_EQ(game.level, 3);
    EXPECT_EQ(editorPanel.getText(), "");
    typeIntoEditor("hlt");
    runFrames(2);

    // Level 2 completed again leads to level 3 with level 3's own code.
    openList();
    ASSERT_EQ(windowList.front(), &levelListPanel);
    fakeConsole().pushKey(VK_UP, 0);
    fakeConsole().pushKey(VK_RETURN, '\r');
    runFrames(3);
    ASSERT_EQ(game.level, 2);
    compileProgram();
    runFrame();
    game.fast = 1;
    game.running = 1;
    for (int frame = 0; frame < 2000 && game.level == 2; ++frame) runFrame();
    runFrames(2);
    EXPECT_EQ(game.level, 3);
    EXPECT_EQ(editorPanel.getText(), "hlt");
    EXPECT_EQ(readFile(levelCodePath(2)), "mul r3 r1 r2" + lineEnd + "hlt");
    EXPECT_EQ(readFile(highestLevelPath()), std::string("\x03\x00", 2));
}

// With more levels than the list has rows, its bottom border says how many follow.
TEST(Progress, TheListSaysHowManyEntriesFollowBelow) {
    KeptFiles files;
    writeFile(lastLevelPath(), std::string("\x1E\x00", 2));
    freshProgram();
    runFrame();
    answer("是");
    runFrames(2);
    ASSERT_EQ(game.highestLevel, 30);
    openLevelList(); // the current level, 第30关, is the last row
    EXPECT_EQ(fakeConsole().row(static_cast<int>(levelListPanel.bottom)).find("还有"), std::string::npos);
    fakeConsole().pushKey(VK_HOME, 0);
    runFrames(2);
    const auto rows = static_cast<std::size_t>(levelListPanel.height());
    const std::string more = "↓ 还有" + std::to_string(30 - rows) + "项";
    EXPECT_NE(fakeConsole().row(static_cast<int>(levelListPanel.bottom)).find(more), std::string::npos)
        << fakeConsole().row(static_cast<int>(levelListPanel.bottom));
    fakeConsole().pushKey(VK_END, 0);
    runFrames(2);
    EXPECT_EQ(fakeConsole().row(static_cast<int>(levelListPanel.bottom)).find("还有"), std::string::npos);
}

TEST(Progress, TheDialogAnswersToKeysAndItsCloseBox) {
    struct Case {
        const char* how;
        std::uint16_t key; // 0: the close box
        unsigned level;
    };
    for (const Case& c : {Case{"close box", 0, 12}, Case{"Esc", VK_ESCAPE, 12}, Case{"Enter", VK_RETURN, 12},
                          Case{"Y", 'Y', 12}, Case{"N", 'N', 1}}) {
        SCOPED_TRACE(c.how);
        KeptFiles files;
        writeFile(lastLevelPath(), std::string("\x0C\x00", 2));
        writeFile(levelCodePath(12), "hlt");
        freshProgram();
        runFrame();
        ASSERT_TRUE(choicePanel.visible);
        if (c.key == 0) {
            const int x = static_cast<int>(choicePanel.closeBox.x + choicePanel.closeBox.offsetX);
            const int y = static_cast<int>(choicePanel.closeBox.y + choicePanel.closeBox.offsetY);
            fakeConsole().pushMouse(x, y, 0, MOUSE_MOVED); // a pointer comes from somewhere
            runFrame();
            click(x, y);
        } else {
            editorPanel.raise(); // the dialog takes its keys even from behind the editor
            fakeConsole().pushKey(c.key, c.key == 'Y' || c.key == 'N' ? static_cast<char>(c.key + 32) : 0);
            runFrame();
        }
        runFrames(2);
        EXPECT_FALSE(choicePanel.visible);
        EXPECT_EQ(game.level, c.level);
        EXPECT_EQ(editorPanel.getText(), c.level == 12 ? "hlt" : ""); // the key did not reach the editor
        // Keys once the dialog is closed are the panels' again.
        editorPanel.raise();
        fakeConsole().pushKey('N', 'n');
        runFrames(2);
        EXPECT_EQ(game.level, c.level);
    }
}

// Made unreadable with a link to itself: root reads any file whatever its mode.
TEST(Progress, AnUnreadableCodeFileIsNeverOverwrittenUntilThePlayerEdits) {
#ifdef _WIN32
    GTEST_SKIP() << "made unreadable with a symbolic link, which needs privileges on Windows";
#endif
    for (const char* answerText : {"是", "否"}) {
        SCOPED_TRACE(answerText);
        KeptFiles files;
        const unsigned level = std::string(answerText) == "是" ? 7 : 1;
        writeFile(lastLevelPath(), std::string("\x07\x00", 2));
        std::filesystem::create_symlink(std::filesystem::path(levelCodePath(level)).filename(), levelCodePath(level));
        freshProgram();
        runFrame();
        answer(answerText);
        runFrames(3);
        EXPECT_EQ(game.level, level);
        EXPECT_NE(consoleText().find("读取文件失败！"), std::string::npos);
        EXPECT_NE(consoleText().find("无法读取"), std::string::npos);
        const auto status = std::filesystem::symlink_status(levelCodePath(level));
        EXPECT_TRUE(std::filesystem::is_symlink(status)) << "the unreadable file was overwritten";
        EXPECT_EQ(readFile(lastLevelPath()), std::string(1, static_cast<char>(level)) + std::string(1, '\0'));
        // Every set-up saves, and still leaves it alone.
        resetMachine();
        runFrames(2);
        EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(levelCodePath(level))));
        // Edited, it is still not replaced by less than it may hold: the edit waits, marked unsaved.
        typeIntoEditor("hlt");
        runFrame();
        EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(levelCodePath(level))));
        EXPECT_TRUE(game.progressUnsaved);
        // Once it is gone there is nothing to lose.
        std::filesystem::remove(levelCodePath(level));
        resetMachine();
        runFrames(2);
        EXPECT_EQ(readFile(levelCodePath(level)), "hlt");
        EXPECT_FALSE(game.progressUnsaved);
    }
}

// The code file and the last-level file are written independently, each with
// its own message, shown once.
TEST(Progress, EachFileIsSavedOnItsOwn) {
    KeptFiles files;
    freshProgram();
    runFrames(2);
    std::filesystem::create_directories(fsPath(levelCodePath(3)) / "blocked"); // a code file that cannot be replaced
    game.setLEVEL(3);
    runFrames(2);
    EXPECT_EQ(readFile(lastLevelPath()), std::string("\x03\x00", 2));
    std::filesystem::remove(fsPath(lastLevelPath()));
    std::filesystem::create_directories(fsPath(lastLevelPath()) / "blocked");
    typeIntoEditor("hlt");
    typeIntoEditor("x");
    runFrames(2);
    const std::string text = consoleText();
    for (const char* name : {"第3关代码.txt", "上次关卡.bin"}) {
        const std::string message = "无法保存进度：" + hostShownPath("levels", name);
        const auto first = text.find(message);
        EXPECT_NE(first, std::string::npos) << name;
        EXPECT_EQ(text.find(message, first + 1), std::string::npos) << name;
    }
    // Level 4's code saves although the last-level file still cannot.
    game.setLEVEL(4);
    EXPECT_EQ(readFile(levelCodePath(4)), editorPanel.getText());
    EXPECT_FALSE(editorPanel.getText().empty());
}

// A save interrupted between writing and renaming, as by a crash or a power
// cut at the worst moment, leaves both files with their old content whole.
TEST(Progress, ASaveCutShortBeforeItsRenameLeavesTheOldFiles) {
    KeptFiles files;
    writeFile(levelCodePath(5), "old code");
    writeFile(lastLevelPath(), std::string("\x05\x00", 2));
    // The folder taken without its lock file: a death test's process (a new one
    // on Windows) would find the lock held by this one.
    game.progressFolder = ProgressFolder::Owned;
    editorPanel.setText("new code, a little longer than the old");
    for (const int cut : {1, 2}) {
        static int savesLeft;
        savesLeft = cut;
        progressSaveSeam = [](const std::string&) {
            if (--savesLeft == 0) std::_Exit(7);
        };
        EXPECT_EXIT(saveProgress(6 - cut), ::testing::ExitedWithCode(7), "") << "save " << cut;
        progressSaveSeam = nullptr;
        EXPECT_EQ(readFile(levelCodePath(5)), "old code");
        EXPECT_EQ(readFile(lastLevelPath()), std::string("\x05\x00", 2));
    }
    // Not cut short, the same save replaces them.
    saveProgress(5);
    EXPECT_EQ(readFile(levelCodePath(5)), "new code, a little longer than the old");
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
    // One message per file, each shown once.
    const std::string text = consoleText();
    for (const char* name : {"第1关代码.txt", "上次关卡.bin"}) {
        const std::string message = "无法保存进度：" + hostShownPath("levels", name);
        const auto first = text.find(message);
        ASSERT_NE(first, std::string::npos) << name;
        EXPECT_EQ(text.find(message, first + 1), std::string::npos) << name;
    }
    EXPECT_EQ(text.find("无法保存进度", text.find("无法保存进度", text.find("无法保存进度") + 1) + 1),
              std::string::npos);
    EXPECT_EQ(game.level, 1);

    // A save that succeeds again re-arms the message for the next failure.
    std::filesystem::remove("levels");
    std::filesystem::create_directory("levels");
    typeIntoEditor("\nnop");
    runFrames(3);
    hostReleaseLock(); // Windows keeps a folder whose lock is open
    std::filesystem::remove_all("levels");
    std::ofstream("levels") << "unwritable again";
    typeIntoEditor("\nnop");
    runFrames(3);
    const std::string later = consoleText();
    for (const char* name : {"第1关代码.txt", "上次关卡.bin"}) {
        const std::string message = "无法保存进度：" + hostShownPath("levels", name);
        const auto first = later.find(message);
        ASSERT_NE(first, std::string::npos) << later;
        EXPECT_NE(later.find(message, first + 1), std::string::npos) << name << later;
    }
}

namespace {

std::string lockPath() { return hostPath("levels", "正在使用.lock"); }

std::string screenRow(int y) { return fakeConsole().row(y); }

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Another game holding the folder's lock: a second process on POSIX (killed
// to leave its lock behind, as a crash does); on Windows a handle opened as a
// game opens it, closed with its content left (a lock only the file remembers).
struct OtherGame {
    std::string pid;
#ifdef _WIN32
    void* handle = nullptr;
    OtherGame() {
        std::filesystem::create_directories("levels");
        pid = "4242";
        handle = holdFile(lockPath(), true, "pid=4242\r\nhost=" + hostThisProcess().host + "\r\n");
        if (!handle) ADD_FAILURE() << "the other game did not take the lock";
    }
    void crash() {
        releaseFile(handle);
        handle = nullptr;
    }
#else
    pid_t child = -1;
    int hold[2] = {-1, -1};
    OtherGame() {
        std::filesystem::create_directories("levels");
        int ready[2];
        if (pipe(ready) != 0 || pipe(hold) != 0) return;
        child = fork();
        if (child == 0) {
            HostLockHolder holder;
            const char taken = hostTakeLock(lockPath(), holder) == HostLock::taken ? 'y' : 'n';
            if (write(ready[1], &taken, 1) != 1) _exit(2);
            char c;
            while (read(hold[0], &c, 1) != 0) {
            }
            _exit(0);
        }
        char taken = 0;
        if (read(ready[0], &taken, 1) != 1 || taken != 'y') ADD_FAILURE() << "the other game did not take the lock";
        close(ready[0]);
        close(ready[1]);
        pid = std::to_string(child);
    }
    void crash() {
        if (child <= 0) return;
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        child = -1;
    }
#endif
    ~OtherGame() { crash(); }
};

} // namespace

// Two games in one folder: the second sees the first's lock and plays
// read-only (the start-up question comes back, nothing is written, the bar
// says so, F10 ends it at once) or quits. A lock left by a game that is gone
// is taken over with a note, and given back (removed) at the end.
TEST(ProgressFolder, ASecondGameInTheFolderPlaysReadOnlyOrQuits) {
    for (const std::string choice : {"只读继续", "退出"}) {
        SCOPED_TRACE(toUtf8(choice));
        KeptFiles files;
        writeFile(lastLevelPath(), std::string("\x03\x00", 2));
        writeFile(levelCodePath(3), "hlt");
        OtherGame other;
        freshProgram();
        runFrame();
        ASSERT_TRUE(choicePanel.visible);
        EXPECT_EQ(choicePanel.title, "注意");
        std::string question;
        for (int row = 0; row < 4; ++row) question += panelRow(choicePanel, row);
        EXPECT_NE(question.find("进程" + other.pid), std::string::npos) << toUtf8(question);
        answer(choice);
        runFrames(2);
        if (choice == "退出") {
            EXPECT_EQ(fakeConsole().quits, 1);
            continue;
        }
        EXPECT_EQ(fakeConsole().quits, 0);
        ASSERT_TRUE(choicePanel.visible);
        EXPECT_EQ(panelRow(choicePanel, 0), "你上次玩到第3关，是否继续？");
        answer("是");
        typeIntoEditor("nop ");
        runFrames(2);
        EXPECT_EQ(editorPanel.getText(), "nop hlt");
        EXPECT_EQ(readFile(levelCodePath(3)), "hlt");
        EXPECT_FALSE(std::filesystem::exists(fsPath(hostPath("levels", "布局.txt"))));
        EXPECT_NE(screenRow(0).find("只读：进度不保存"), std::string::npos) << toUtf8(screenRow(0));
        EXPECT_NE(consoleText().find("只读"), std::string::npos);
        EXPECT_FALSE(f10AsksFirst && f10AsksFirst());
        fakeConsole().pushKey(VK_F10, 0);
        runFrame();
        EXPECT_EQ(fakeConsole().quits, 1);
        EXPECT_NE(readFile(lockPath()).find("pid=" + other.pid), std::string::npos);

        // The other game is gone without giving its lock back.
        other.crash();
        freshProgram();
        runFrame();
        EXPECT_FALSE(choicePanel.visible && choicePanel.title == "注意");
        std::string console = consoleText();
        console.erase(std::remove(console.begin(), console.end(), '\n'), console.end());
        EXPECT_NE(console.find("已接管上次的游戏（进程" + other.pid), std::string::npos) << toUtf8(console);
        EXPECT_NE(readFile(lockPath()).find("pid=" + hostThisProcess().processId), std::string::npos);
        answer("是");
        typeIntoEditor("nop ");
        runFrames(2);
        EXPECT_EQ(readFile(levelCodePath(3)), "nop hlt");
        freshProgram(); // the game ends
        EXPECT_FALSE(std::filesystem::exists(fsPath(lockPath())));
    }
}

// The size prompt runs before the first frame: nothing may be on disk then.
// A game played without a keystroke keeps nothing either (its empty levels/
// goes with its lock), so the next start asks no question; log.txt says when
// it started and ended.
TEST(ProgressFolder, NothingIsWrittenBeforeThePlayerHasPlayed) {
    KeptFiles files;
    freshProgram();
    EXPECT_TRUE(std::filesystem::is_empty(".")) << "written before the first frame";
    runFrames(3);
    EXPECT_TRUE(std::filesystem::exists(fsPath(lockPath())));
    EXPECT_FALSE(std::filesystem::exists(fsPath(lastLevelPath())));
    freshProgram();
    EXPECT_FALSE(std::filesystem::exists("levels"));
    runFrame();
    EXPECT_FALSE(choicePanel.visible);
    typeIntoEditor("hlt");
    EXPECT_EQ(readFile(lastLevelPath()), std::string("\x01\x00", 2));
    freshProgram();
    EXPECT_TRUE(std::filesystem::exists("levels"));
    const std::string log = readFile("log.txt");
    EXPECT_EQ(occurrences(log, "游戏开始"), 2u) << toUtf8(log);
    EXPECT_EQ(occurrences(log, "游戏结束"), 2u) << toUtf8(log);
    EXPECT_NE(log.find("第1关：开始"), std::string::npos) << toUtf8(log);
}

// A folder that cannot be written: the bar's mark stays while saving fails, a
// completed level repeats the warning, F10 asks (retry or quit) instead of
// quitting, and once the folder can be written a retry saves and the mark goes.
TEST(ProgressFolder, WhileSavingFailsTheMarkStaysAndF10Asks) {
    KeptFiles files;
    std::ofstream("levels") << "a file where the directory should be";
    freshProgram();
    runFrames(2);
    EXPECT_NE(screenRow(0).find("进度未保存"), std::string::npos) << toUtf8(screenRow(0));
    EXPECT_NE(consoleText().find("不能写入"), std::string::npos);
    typeIntoEditor("add r3 r1 r2\nhlt");
    compileProgram();
    runFrame();
    game.fast = 1;
    game.running = 1;
    for (int frame = 0; frame < 3000 && game.level == 1; ++frame) runFrame();
    runFrames(2);
    ASSERT_EQ(game.level, 2);
    ASSERT_TRUE(choicePanel.visible);
    EXPECT_EQ(choicePanel.title, "进度未保存");
    fakeConsole().pushKey(VK_ESCAPE, 0);
    runFrame();
    EXPECT_FALSE(choicePanel.visible);
    EXPECT_NE(screenRow(0).find("进度未保存"), std::string::npos);

    ASSERT_TRUE(f10AsksFirst && f10AsksFirst());
    fakeConsole().pushKey(VK_F10, 0);
    runFrame();
    EXPECT_TRUE(choicePanel.visible);
    fakeConsole().pushKey(VK_RETURN, '\r'); // 重试: still failing, asked again
    runFrames(2);
    EXPECT_TRUE(choicePanel.visible);
    EXPECT_EQ(fakeConsole().quits, 0);
    fakeConsole().pushKey(VK_F10, 0); // F10 again: quit without saving
    runFrame();
    EXPECT_EQ(fakeConsole().quits, 1);

    std::filesystem::remove("levels");
    const std::string row = screenRow(0);
    const int markX = static_cast<int>(row.find("进度未保存"));
    click(markX + 1, 0);
    ASSERT_TRUE(choicePanel.visible);
    fakeConsole().pushKey(VK_RETURN, '\r');
    runFrames(2);
    EXPECT_FALSE(game.progressUnsaved);
    EXPECT_EQ(screenRow(0).find("进度未保存"), std::string::npos);
    EXPECT_NE(consoleText().find("进度已保存"), std::string::npos);
    EXPECT_EQ(readFile(lastLevelPath()), std::string("\x02\x00", 2));
    EXPECT_FALSE(f10AsksFirst());
    fakeConsole().pushKey(VK_F10, 0);
    runFrame();
    EXPECT_EQ(fakeConsole().quits, 2);
}

// A code file another program holds: said once, with the path as the host
// writes it; no save replaces it; once it can be read again the next save
// brings its code back (above what the player typed meanwhile) and keeps both.
TEST(ProgressFolder, ACodeFileHeldByAnotherProgramIsReadAgainBeforeItIsReplaced) {
#ifdef _WIN32
    const std::string shown = "levels\\第2关代码.txt";
#else
    const std::string shown = "levels/第2关代码.txt";
#endif
    for (const bool typed : {false, true}) {
        SCOPED_TRACE(typed ? "typed meanwhile" : "untouched");
        KeptFiles files;
        writeFile(lastLevelPath(), std::string("\x02\x00", 2));
        writeFile(levelCodePath(2), "mul r3 r1 r2\nhlt");
#ifdef _WIN32
        void* held = holdFile(levelCodePath(2), false);
        ASSERT_NE(held, nullptr);
        const auto release = [&] { releaseFile(held); };
#else
        // No POSIX program can keep others from a file; a link to itself cannot be read either.
        const std::filesystem::path code = fsPath(levelCodePath(2));
        const std::filesystem::path aside = code.string() + ".aside";
        std::filesystem::rename(code, aside);
        std::filesystem::create_symlink(code.filename(), code);
        const auto release = [&] {
            std::filesystem::remove(code);
            std::filesystem::rename(aside, code);
        };
#endif
        freshProgram();
        runFrame();
        answer("是");
        runFrames(2);
        resetMachine();
        runFrames(2);
        EXPECT_EQ(occurrences(consoleText(), shown + "无法读取"), 1u) << toUtf8(consoleText());
        if (typed) typeIntoEditor("nop");
        resetMachine();
        runFrames(2);
        release();
        resetMachine();
        runFrames(2);
        const std::string expected = typed ? "mul r3 r1 r2\nhlt\nnop" : "mul r3 r1 r2\nhlt";
        EXPECT_EQ(editorPanel.getText(), expected);
        EXPECT_EQ(readFile(levelCodePath(2)), typed ? "mul r3 r1 r2" + lineEnd + "hlt" + lineEnd + "nop"
                                                    : "mul r3 r1 r2" + lineEnd + "hlt");
        EXPECT_NE(consoleText().find(shown + "现在能读取了"), std::string::npos) << toUtf8(consoleText());
        EXPECT_FALSE(game.progressUnsaved);
    }
}

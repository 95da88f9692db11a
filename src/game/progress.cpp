// Progress on disk: levels/上次关卡.bin holds the last level and
// levels/最高关卡.bin the highest level reached (2 bytes each, little
// endian), levels/第N关代码.txt the editor's text for level N (GBK text; "\n"
// line ends, CR LF on Windows). The files go through shell/host_files.h. Every file is written under a temporary name and renamed over the
// old one, so an interrupted save leaves the old content, never half a file.
#include <algorithm>
#include <cstdio>
#include <string>

#include "game/custom_progress.h"
#include "game/game.h"
#include "levels/custom_level.h"
#include "levels/custom_level_files.h"
#include "game/panels.h"
#include "game/progress_folder.h"
#include "shell/host_files.h"
#include "shell/logger.h"
#include "shell/messages.h"
#include "console/platform.h"

namespace {

// Built on first use: the Game global saves from its constructor, which may run
// before this file's own globals are constructed.
const std::string& levelsDirectory() {
    static const std::string name = "levels";
    return name;
}


bool writeWhole(const std::string& path, const std::string& bytes, HostFileMode mode) {
    ensureLevelsDirectory();
    return hostReplaceFile(path, bytes, mode, progressSaveSeam);
}

enum class FileRead { Read, Missing, Unreadable };

// Code files are read in text mode: CR LF (Windows) comes back as "\n".
FileRead readWhole(const std::string& path, std::string& bytes, HostFileMode mode) {
    switch (hostReadFile(path, bytes, mode)) {
    case HostRead::read: return FileRead::Read;
    case HostRead::missing: return FileRead::Missing;
    default: return FileRead::Unreadable;
    }
}

// The message names the file in the game's own GBK text, as the host writes paths.
bool reportSave(bool ok, std::uint8_t& failureShown, const std::string& gbkName) {
    if (ok) {
        failureShown = 0;
    } else if (!failureShown) {
        failureShown = 1;
        consolePrintf("无法保存进度：%s\n", progressFileShown(gbkName).c_str());
        logger.note("无法保存进度：%s", progressFileShown(gbkName).c_str());
    }
    return ok;
}

std::string levelNumberBytes(unsigned level) {
    const char number[2] = {static_cast<char>(level & 0xFF), static_cast<char>((level >> 8) & 0xFF)};
    return std::string(number, 2);
}

// A level number file: false when missing, unreadable or cut short.
bool readLevelNumber(const std::string& path, unsigned& level) {
    std::string bytes;
    if (readWhole(path, bytes, HostFileMode::binary) != FileRead::Read || bytes.size() < 2) return false;
    level = static_cast<std::uint8_t>(bytes[0]) | (static_cast<std::uint8_t>(bytes[1]) << 8);
    return true;
}

// Shares the last level's failure notice: one unwritable folder, one message.
bool saveHighestLevel() {
    if (!progressWritable()) return false; // written by the first save that may write
    game.highestLevelSaved = writeWhole(highestLevelPath(), levelNumberBytes(game.highestLevel), HostFileMode::binary);
    return reportSave(game.highestLevelSaved, game.lastLevelSaveFailureShown, "最高关卡.bin");
}

bool listed(const std::vector<std::uint16_t>& levels, unsigned level) {
    return std::find(levels.begin(), levels.end(), level) != levels.end();
}

void unlist(std::vector<std::uint16_t>& levels, unsigned level) {
    levels.erase(std::remove(levels.begin(), levels.end(), level), levels.end());
}

bool codeFileIsUnreadable(unsigned level) { return listed(game.unreadableCodeLevels, level); }

std::string codeFileName(unsigned level) {
    if (const CustomLevel* custom = customLevelFor(static_cast<std::uint16_t>(level)))
        return customLevelCodeName(custom->fileName);
    return "第" + std::to_string(level) + "关代码.txt";
}

// Puts the level's saved code into the editor. A missing file leaves the
// editor as it is; a file that exists but cannot be read (another program
// holds it) is reported once and kept from being overwritten by the empty
// editor: every save reads it again.
FileRead loadSavedCode(unsigned level) {
    std::string text;
    const FileRead result = hostKeepsFiles() ? readWhole(levelCodePath(level), text, HostFileMode::text) : FileRead::Missing;
    if (result == FileRead::Read) editorPanel.setText(text);
    if (result == FileRead::Unreadable) {
        consolePrintf("读取文件失败！\n");
        if (!codeFileIsUnreadable(level) && !listed(game.unreadEditedLevels, level)) {
            const std::string shown = progressFileShown(codeFileName(level));
            consolePrintf("%s无法读取（也许另一个程序正打开着它）。游戏每次保存时都会再读一次；读到之前不会改写它。\n",
                          shown.c_str());
            logger.note("无法读取%s", shown.c_str());
        }
        unlist(game.unreadEditedLevels, level);
        if (!codeFileIsUnreadable(level)) game.unreadableCodeLevels.push_back(static_cast<std::uint16_t>(level));
    }
    return result;
}

// Before a code file that could not be read is written, it is read again.
// Unedited, what it holds comes back into the editor; edited since, what it
// holds goes above the player's new lines, so neither is lost. False while it
// still cannot be read: it stays as it is (a file that is gone has nothing to lose).
bool codeMayBeWritten(unsigned level) {
    const bool edited = listed(game.unreadEditedLevels, level);
    if (!edited && !codeFileIsUnreadable(level)) return true;
    std::string text;
    const FileRead read = readWhole(levelCodePath(level), text, HostFileMode::text);
    if (read == FileRead::Unreadable) return false;
    if (read == FileRead::Missing) text.clear();
    const std::string shown = progressFileShown(codeFileName(level));
    const std::string typed = editorPanel.getText();
    if (read == FileRead::Missing) {
        // Gone meanwhile: the editor's text is all there is.
    } else if (!edited) {
        editorPanel.setText(text);
        consolePrintf("%s现在能读取了，它的代码已放回编辑器。\n", shown.c_str());
    } else if (text != typed && !text.empty()) {
        editorPanel.setText(typed.empty() ? text : text + "\n" + typed);
        consolePrintf("%s现在能读取了：它原来的代码放回了编辑器，你新写的接在后面。\n", shown.c_str());
    }
    logger.note("又能读取%s了", shown.c_str());
    unlist(game.unreadableCodeLevels, level);
    unlist(game.unreadEditedLevels, level);
    return true;
}

// Unedited and unread, nothing of the player's waits to be written; edited,
// the player's text is not saved until the file has been read.
bool saveCode(unsigned level) {
    if (!codeMayBeWritten(level))
        return !listed(game.unreadEditedLevels, level) || reportSave(false, game.codeSaveFailureShown, codeFileName(level));
    const bool ok = reportSave(writeWhole(levelCodePath(level), editorPanel.getText(), HostFileMode::text),
                               game.codeSaveFailureShown, codeFileName(level));
    if (ok) unlist(game.unreadEditedLevels, level);
    return ok;
}

} // namespace

void (*progressSaveSeam)(const std::string& finalPath) = nullptr;

std::string levelCodePath(unsigned level) {
    if (const CustomLevel* custom = customLevelFor(static_cast<std::uint16_t>(level)))
        return hostPath(levelsDirectory(), customLevelCodeName(custom->fileName));
    return hostPath(levelsDirectory(), "第" + std::to_string(level) + "关代码.txt");
}

std::string lastLevelPath() { return hostPath(levelsDirectory(), "上次关卡.bin"); }

std::string highestLevelPath() { return hostPath(levelsDirectory(), "最高关卡.bin"); }

void ensureLevelsDirectory() {
    if (hostKeepsFiles()) hostMakeHiddenDirectory(levelsDirectory());
}

// The two files are written independently: a code file that cannot be written
// does not stop the level number from being recorded, and the other way round.
// Nothing is written before the player has played: a first start with an
// empty editor on level 1 has nothing to keep, and leaves no levels/ behind.
void saveProgress(unsigned level) {
    const bool nothingToKeep = !game.progressKept && level <= 1 && editorPanel.getText().empty();
    if (!hostKeepsFiles() || nothingToKeep || !progressWritable()) return;
    // A teacher's level keeps only its code: it is no step on the way through levels 1-30.
    if (const CustomLevel* custom = customLevelFor(static_cast<std::uint16_t>(level))) {
        noteCustomLevelPlayed(custom->fileName);
        noteProgressSaved(saveCode(level));
        return;
    }
    noteCustomLevelPlayed("");
    bool ok = saveCode(level);
    ok = reportSave(writeWhole(lastLevelPath(), levelNumberBytes(level), HostFileMode::binary),
                    game.lastLevelSaveFailureShown, "上次关卡.bin") && ok;
    if (level > game.highestLevel || !game.highestLevelSaved) {
        game.highestLevel = static_cast<std::uint16_t>(std::max<unsigned>(level, game.highestLevel));
        ok = saveHighestLevel() && ok;
    }
    noteProgressSaved(ok);
}

// The player's own text for a level whose file could not be read: it may be
// written now, once the file has been read one more time.
void saveHighestLevelIfBehind() {
    if (hostKeepsFiles() && game.progressKept && game.highestLevel != 0 && !game.highestLevelSaved) saveHighestLevel();
}

void releaseUnreadableCode() {
    if (!codeFileIsUnreadable(game.level)) return;
    unlist(game.unreadableCodeLevels, game.level);
    game.unreadEditedLevels.push_back(game.level);
}

void startupChoice() {
    unsigned level = 0;
    // A missing or truncated file starts at level 1 without asking.
    if (!hostKeepsFiles() || !readLevelNumber(lastLevelPath(), level)) {
        game.setLEVEL(1);
        return;
    }
    game.progressKept = 1;
    // Progress kept before the highest level had a file of its own: the last
    // level is the highest known, and is written down at once.
    unsigned highest = 0;
    if (readLevelNumber(highestLevelPath(), highest)) {
        game.highestLevel = static_cast<std::uint16_t>(std::max(highest, level));
    } else {
        game.highestLevel = static_cast<std::uint16_t>(level);
        saveHighestLevel();
    }
    if (offerLastCustomLevel()) return;
    char text[64];
    std::snprintf(text, sizeof text, "你上次玩到第%u关，是否继续？", level);
    // Enter and Y answer 是, N 否; Esc and the close box continue the saved
    // level too, since closing must not leave the player in the hidden level 0.
    game.Choose("选择", text, {{"是", [level] { loadLevelCode(level); }}, {"否", startLevelOneWithSavedCode}},
                {{VK_RETURN, "是"}, {'Y', "是"}, {VK_ESCAPE, "是"}, {'N', "否"}}, "是");
}

bool startupQuestionOpen() { return game.level == 0 && choicePanel.visible; }

void loadLevelCode(unsigned level) {
    if (loadSavedCode(level) == FileRead::Missing) consolePrintf("读取文件失败！\n");
    // Without its code the level still starts (with an empty editor): staying
    // in the hidden level 0 would leave the player no way forward.
    game.setLEVEL(static_cast<unsigned short>(level));
}

// 否 starts over at level 1, but with level 1's own saved code: the answer
// must never cost the player the program on disk.
void startLevelOneWithSavedCode() {
    loadSavedCode(1);
    game.setLEVEL(1);
}

// The code the player left in a level stays that level's: the current text is
// saved first, then the chosen level's own code comes in (none yet: an empty
// editor) and the level starts from a zero pass count.
void switchToLevel(unsigned level) {
    if (game.level != 0) saveProgress(game.level);
    consolePanel.clearText(); // the console starts empty for the new level
    if (loadSavedCode(level) != FileRead::Read) editorPanel.setText("");
    resetMachine();
    game.setLEVEL(static_cast<unsigned short>(level));
    game.passCount = 0;
    game.running = 0;
}

void switchToCustomLevel(const std::string& fileName) {
    // The current code is saved under the level in force, before the new file replaces it.
    if (game.level != 0) saveProgress(game.level);
    if (!loadCustomLevelFile(fileName)) return;
    consolePanel.clearText();
    if (loadSavedCode(CUSTOM_LEVEL) != FileRead::Read) editorPanel.setText("");
    resetMachine();
    game.setLEVEL(CUSTOM_LEVEL);
    game.passCount = 0;
    game.running = 0;
}

// A completed level leads to the next with the editor's text, unless the
// player reached that level before: then its own saved code comes back.
void enterNextLevel(unsigned short next) {
    if (next <= game.highestLevel && next != 0) loadSavedCode(next);
    game.setLEVEL(next);
}

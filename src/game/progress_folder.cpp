#include "game/progress_folder.h"

#include <algorithm>
#include <functional>

#include "game/game.h"
#include "game/panels.h"
#include "game/run_log.h"
#include "shell/host_files.h"
#include "shell/logger.h"
#include "shell/messages.h"
#include "console/console_screen.h"
#include "ui/window.h"

namespace {

const char levelsName[] = "levels";
const char lockName[] = "正在使用.lock";
constexpr std::uint8_t markColour = 0x4F; // white on red: it must not be overlooked

// A question asked from inside an answer waits for the next frame: the
// answered dialog closes after its option has run.
enum class Pending : std::uint8_t { None, StartupQuestion, UnsavedAtQuit, UnsavedAtCompletion };
Pending pending = Pending::None;

std::string holderText(const HostLockHolder& holder) {
    std::string text;
    if (!holder.processId.empty()) text += "进程" + holder.processId;
    if (!holder.host.empty()) text += (text.empty() ? "" : "，") + std::string("电脑") + holder.host;
    return text;
}

std::string ownFolderAdvice() {
    const std::string own = hostOwnFolder();
    return "请在自己能写入的文件夹里启动游戏" + (own.empty() ? std::string() : "（例如" + own + "）") +
           "，进度就保存在那里的levels文件夹中。";
}

void explainUnsaved() {
    if (game.unsavedExplained) return;
    game.unsavedExplained = 1;
    consolePrintf("这个文件夹不能写入，进度没有保存！%s\n", ownFolderAdvice().c_str());
}

void quitGame() { console().Quit(); }

void playReadOnly(bool askAgain) {
    game.progressFolder = ProgressFolder::ReadOnly;
    logger.note("另一个游戏正在使用这个文件夹：本游戏只读，不保存任何进度");
    logger.paused = true;
    consolePrintf("只读：这个游戏不保存任何进度。\n");
    if (askAgain) pending = Pending::StartupQuestion;
}

void askAboutOtherGame(const HostLockHolder& holder) {
    const bool askAgain = startupQuestionOpen();
    game.progressFolder = ProgressFolder::Asking;
    const std::string who = holderText(holder);
    const std::string text = "另一个游戏" + (who.empty() ? std::string() : "（" + who + "）") +
                             "正在使用这个文件夹的进度。两个游戏都保存的话，后保存的会覆盖先保存的代码。\n"
                             "只读继续：可以玩，但什么都不保存。\n退出：回到那个游戏去玩。";
    game.Choose("注意", text, {{"只读继续", [askAgain] { playReadOnly(askAgain); }}, {"退出", quitGame}},
                {{VK_RETURN, "只读继续"}, {VK_ESCAPE, "只读继续"}, {'Q', "退出"}}, "只读继续");
}

void takeLock() {
    bool made = false;
    hostMakeHiddenDirectory(levelsName, &made);
    if (made) game.levelsDirectoryMade = 1;
    HostLockHolder holder;
    switch (hostTakeLock(hostPath(levelsName, lockName), holder)) {
    case HostLock::taken: game.progressFolder = ProgressFolder::Owned; break;
    case HostLock::takenOver: {
        game.progressFolder = ProgressFolder::Owned;
        const std::string who = holderText(holder);
        // Its process is gone: it crashed, was killed, or its terminal was closed.
        consolePrintf("已接管上次的游戏（%s）留下的%s：那个游戏已经不在运行。\n", who.c_str(),
                      progressFileShown(lockName).c_str());
        logger.note("接管了上次的游戏（%s）留下的锁：那个游戏已经不在运行", who.c_str());
        break;
    }
    case HostLock::busy: askAboutOtherGame(holder); break;
    case HostLock::failed: game.progressFolder = ProgressFolder::Unlocked; break;
    }
}

void retrySave(bool quitting) {
    if (game.level != 0) saveProgress(game.level);
    else if (progressWritable() && game.progressFolder == ProgressFolder::Owned) noteProgressSaved(true);
    if (!game.progressUnsaved) {
        consolePrintf("进度已保存。\n");
        if (quitting) quitGame();
    } else {
        pending = quitting ? Pending::UnsavedAtQuit : Pending::UnsavedAtCompletion;
    }
}

void askAboutUnsaved(bool quitting) {
    std::string text = "进度未保存！这个文件夹不能写入，";
    text += quitting ? "现在退出，这次的代码和关卡都会丢失。\n" : "这一关的通过没有记下来。\n";
    text += ownFolderAdvice();
    text += "\n重试：再保存一次。";
    const char* other = quitting ? "退出" : "知道了";
    std::unordered_map<std::uint16_t, std::string> keys{{VK_RETURN, "重试"}, {'R', "重试"}};
    if (quitting) keys[VK_F10] = "退出";
    else keys[VK_ESCAPE] = "知道了";
    const std::function<void()> otherAction = quitting ? std::function<void()>(quitGame) : [] {};
    game.Choose("进度未保存", text, {{"重试", [quitting] { retrySave(quitting); }}, {other, otherAction}},
                keys, quitting ? std::string() : std::string("知道了"));
}

bool asksBeforeQuitting() {
    return hostKeepsFiles() && game.progressUnsaved &&
           (game.progressFolder == ProgressFolder::Owned || game.progressFolder == ProgressFolder::Unlocked);
}

} // namespace

std::string progressFileShown(const std::string& gbkName) { return hostShownPath(levelsName, gbkName); }

void tendProgressFolder() {
    if (pending != Pending::None && !choicePanel.visible) {
        const Pending asked = pending;
        pending = Pending::None;
        if (asked == Pending::StartupQuestion) startupChoice();
        else askAboutUnsaved(asked == Pending::UnsavedAtQuit);
    }
    if (game.progressFolder != ProgressFolder::Closed) return;
    f10AsksFirst = asksBeforeQuitting;
    if (!hostKeepsFiles()) {
        game.progressFolder = ProgressFolder::Owned;
        return;
    }
    const HostLockHolder me = hostThisProcess();
    logger.note("游戏开始（进程%s，电脑%s）", me.processId.c_str(), me.host.c_str());
    takeLock();
    if (game.progressFolder == ProgressFolder::Owned) saveHighestLevelIfBehind();
    // A level set up before the folder was open (the start-up answer came
    // before the first frame) saves now, as a set-up does.
    if (game.level != 0 && game.progressFolder == ProgressFolder::Owned) saveProgress(game.level);
    if (game.level != 0 && game.progressFolder != ProgressFolder::Asking) logLevelStart(game.level);
    if (game.progressFolder == ProgressFolder::Unlocked) {
        game.progressUnsaved = 1;
        explainUnsaved();
        logger.note("无法写入%s：进度不能保存", levelsName);
    }
}

void closeProgressFolder() {
    if (game.progressFolder == ProgressFolder::Closed) return;
    if (hostKeepsFiles()) logger.note("游戏结束%s", game.progressUnsaved ? "（进度未保存）" : "");
    hostReleaseLock();
    if (game.levelsDirectoryMade) hostRemoveEmptyDirectory(levelsName);
    game.progressFolder = ProgressFolder::Closed;
    pending = Pending::None;
}

bool progressWritable() {
    if (!hostKeepsFiles()) return false;
    if (game.progressFolder == ProgressFolder::Unlocked) takeLock();
    return game.progressFolder == ProgressFolder::Owned || game.progressFolder == ProgressFolder::Unlocked;
}

void noteProgressSaved(bool allWritten) {
    if (!allWritten) {
        game.progressUnsaved = 1;
        explainUnsaved();
        return;
    }
    if (game.progressUnsaved) {
        consolePrintf("进度又能保存了。\n");
        logger.note("进度又能保存了");
    }
    game.progressUnsaved = 0;
    game.unsavedExplained = 0;
    game.progressKept = 1;
}

void warnUnsavedAtCompletion() {
    if (!asksBeforeQuitting()) return;
    consolePrintf("注意：进度没有保存！\n");
    pending = Pending::UnsavedAtCompletion;
}

bool answerF10(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT || record.Event.KeyEvent.wVirtualKeyCode != VK_F10) return false;
    if (!record.Event.KeyEvent.bKeyDown) return true;
    if (asksBeforeQuitting()) askAboutUnsaved(true);
    else quitGame();
    return true;
}

void drawProgressMark(const INPUT_RECORD* record) {
    const bool readOnly = game.progressFolder == ProgressFolder::ReadOnly;
    if (!readOnly && !asksBeforeQuitting()) return;
    const std::string text = readOnly ? "只读：进度不保存" : "进度未保存";
    const auto width = static_cast<std::int64_t>(text.size());
    const std::int64_t x = std::max<std::int64_t>(0, visibleConsoleSize().width - width - 1);
    drawText(text, x, 0, width, 1, markColour);
    if (readOnly || !record || record->EventType != MOUSE_EVENT || choicePanel.visible) return;
    const MOUSE_EVENT_RECORD& mouse = record->Event.MouseEvent;
    const bool press = (mouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) &&
                       !(lastMouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED);
    if (press && mouse.dwMousePosition.Y == 0 && mouse.dwMousePosition.X >= x && mouse.dwMousePosition.X < x + width)
        askAboutUnsaved(false);
}

// Progress on disk: levels/上次关卡.bin holds the last level (2 bytes, little
// endian), levels/第N关代码.txt the editor's text for level N (GBK, "\n" line
// ends). Every file is written under a temporary name and renamed over the
// old one, so an interrupted save leaves the old content, never half a file.
#include <cstdio>
#include <string>

#include "game/game.h"
#include "game/panels.h"
#include "shell/host_files.h"
#include "shell/messages.h"
#include "ui/platform.h"

namespace {

// Built on first use: the Game global saves from its constructor, which may run
// before this file's own globals are constructed.
const std::string& levelsDirectory() {
    static const std::string name = "levels";
    return name;
}

bool writeWhole(const std::string& path, const std::string& bytes, HostFileMode mode) {
    ensureLevelsDirectory();
    return hostReplaceFile(path, bytes, mode);
}

bool readWhole(const std::string& path, std::string& bytes, HostFileMode mode) { return hostReadFile(path, bytes, mode); }

// The host paths are UTF-8; the message names the file in the game's own GBK text.
void reportSave(bool ok, const char* gbkName) {
    if (ok) {
        game.saveFailureShown = 0;
    } else if (!game.saveFailureShown) {
        game.saveFailureShown = 1;
        consolePrintf("无法保存进度：levels/%s\n", gbkName);
    }
}

} // namespace

std::string levelCodePath(unsigned level) {
    return hostPath(levelsDirectory(), "第" + std::to_string(level) + "关代码.txt");
}

std::string lastLevelPath() { return hostPath(levelsDirectory(), "上次关卡.bin"); }

void ensureLevelsDirectory() {
    if (hostKeepsFiles()) hostMakeHiddenDirectory(levelsDirectory());
}

void saveProgress(unsigned level) {
    if (!hostKeepsFiles()) return;
    const std::string codePath = levelCodePath(level);
    bool ok = writeWhole(codePath, editorPanel.getText(), HostFileMode::text);
    char codeName[32];
    std::snprintf(codeName, sizeof codeName, "第%u关代码.txt", level);
    reportSave(ok, codeName);
    const char number[2] = {static_cast<char>(level & 0xFF), static_cast<char>((level >> 8) & 0xFF)};
    if (ok) reportSave(writeWhole(lastLevelPath(), std::string(number, 2), HostFileMode::binary), "上次关卡.bin");
}

void startupChoice() {
    std::string bytes;
    // A missing or truncated file starts at level 1 without asking.
    if (!hostKeepsFiles() || !readWhole(lastLevelPath(), bytes, HostFileMode::binary) || bytes.size() < 2) {
        game.setLEVEL(1);
        return;
    }
    unsigned level = static_cast<std::uint8_t>(bytes[0]) | (static_cast<std::uint8_t>(bytes[1]) << 8);
    char text[64];
    std::snprintf(text, sizeof text, "你上次玩到第%u关，是否继续？", level);
    game.Choose("选择", text, {{"是", [level] { loadLevelCode(level); }}, {"否", [] { game.setLEVEL(1); }}});
}

void loadLevelCode(unsigned level) {
    std::string text;
    if (hostKeepsFiles() && readWhole(levelCodePath(level), text, HostFileMode::text)) {
        editorPanel.setText(text);
    } else {
        consolePrintf("读取文件失败！\n");
    }
    // Without its code the level still starts (with an empty editor): staying
    // in the hidden level 0 would leave the player no way forward.
    game.setLEVEL(static_cast<unsigned short>(level));
}

void Game::Choose(const std::string& title, const std::string& text,
                  const std::unordered_map<std::string, std::function<void()>>& options) {
    const double dialogWidth = static_cast<double>(choicePanel.width());
    double textWidth = 0;
    for (const auto& option : options) textWidth += static_cast<double>(option.first.size());
    const double spacing = options.size() > 1 ? (dialogWidth - textWidth) / static_cast<double>(options.size() - 1) : 0;
    if (spacing < 0 || textWidth > dialogWidth) return;

    choicePanel.title = title;
    choicePanel.clearText();
    panelPrintf(&choicePanel, "%s", text.c_str());
    choicePanel.buttons.clear();

    double x = 0;
    const std::int64_t lastRow = choicePanel.height() - 1;
    for (const auto& [label, option] : options) {
        const std::function<void()>& choose = option; // clang 14 cannot capture a structured binding
        const auto width = static_cast<std::int64_t>(label.size());
        Button button(static_cast<std::int64_t>(x), lastRow, width, 1, label, choicePanel.x, choicePanel.y);
        button.action = [choose] {
            choose();
            choicePanel.hide();
        };
        choicePanel.buttons.push_back(std::move(button));
        x += static_cast<double>(width) + spacing;
    }

    choicePanel.raise();
    choicePanel.visible = true;
    choicePanel.closeBox.visible = true;
    choicePanel.closeBox.draw();
    choicePanel.draw();
    for (Button& button : choicePanel.buttons) {
        button.visible = true;
        button.draw();
    }
    choicePanel.raise();
}

// Progress on disk: levels/上次关卡.bin holds the last level (2 bytes, little
// endian), levels/第N关代码.txt the editor's text for level N (GBK, "\n" line
// ends). Every file is written under a temporary name and renamed over the
// old one, so an interrupted save leaves the old content, never half a file.
#include <cstdio>
#include <filesystem>
#include <string>

#include "game/game.h"
#include "game/panels.h"
#include "shell/messages.h"
#include "ui/platform.h"

namespace {

// Built on first use: the Game global saves from its constructor, which may run
// before this file's own globals are constructed.
const std::string& levelsDirectory() {
    static const std::string name = reinterpret_cast<const char*>(u8"levels");
    return name;
}


bool writeWhole(const std::string& path, const std::string& bytes) {
    ensureLevelsDirectory();
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (std::fclose(file) == 0) && ok;
    ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool readWhole(const std::string& path, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes.clear();
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

// Files saved by a Windows build end their lines in CR LF.
std::string withoutCarriageReturns(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

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
    return levelsDirectory() + reinterpret_cast<const char*>(u8"/第") + std::to_string(level) +
           reinterpret_cast<const char*>(u8"关代码.txt");
}

std::string lastLevelPath() { return levelsDirectory() + reinterpret_cast<const char*>(u8"/上次关卡.bin"); }

void ensureLevelsDirectory() {
    if (!hostKeepsFiles()) return;
    std::error_code ignored;
    std::filesystem::create_directory(levelsDirectory(), ignored);
}

void saveProgress(unsigned level) {
    if (!hostKeepsFiles()) return;
    const std::string codePath = levelCodePath(level);
    bool ok = writeWhole(codePath, editorPanel.getText());
    char codeName[32];
    std::snprintf(codeName, sizeof codeName, "第%u关代码.txt", level);
    reportSave(ok, codeName);
    const char number[2] = {static_cast<char>(level & 0xFF), static_cast<char>((level >> 8) & 0xFF)};
    if (ok) reportSave(writeWhole(lastLevelPath(), std::string(number, 2)), "上次关卡.bin");
}

void startupChoice() {
    std::string bytes;
    // A missing or truncated file starts at level 1 without asking.
    if (!hostKeepsFiles() || !readWhole(lastLevelPath(), bytes) || bytes.size() < 2) {
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
    if (hostKeepsFiles() && readWhole(levelCodePath(level), text)) {
        editorPanel.setText(withoutCarriageReturns(text));
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

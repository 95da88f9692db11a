// Progress in teachers' levels, kept in levels/ beside the built-in levels'
// (their code goes to a code file named after the level file, progress.cpp):
// levels/上次教师关卡.txt names the level file last played (empty once a
// built-in level was played since), levels/已通过教师关卡.txt the level files
// whose level was completed, one name a line (GBK, as custom-levels/ lists them).
#include "game/custom_progress.h"

#include <algorithm>
#include <sstream>

#include "game/game.h"
#include "game/progress_folder.h"
#include "levels/custom_level.h"
#include "levels/custom_level_files.h"
#include "shell/host_files.h"
#include "shell/messages.h"

namespace {

std::string lastCustomPath() { return hostPath("levels", "上次教师关卡.txt"); }
std::string passedCustomPath() { return hostPath("levels", "已通过教师关卡.txt"); }

std::string readText(const std::string& path) {
    std::string bytes;
    if (!hostKeepsFiles() || hostReadFile(path, bytes, HostFileMode::text) != HostRead::read) return {};
    return bytes;
}

std::vector<std::string> passedNames() {
    std::vector<std::string> names;
    std::istringstream in(readText(passedCustomPath()));
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) names.push_back(line);
    return names;
}

// The name last written (or read): a set-up saves progress for every run, the
// file is written only when the level played changes.
struct LastPlayed {
    bool known = false;
    std::string name;
};
LastPlayed& lastPlayed() {
    static LastPlayed instance;
    return instance;
}

} // namespace

void noteCustomLevelPlayed(const std::string& fileName) {
    LastPlayed& last = lastPlayed();
    if (!last.known) last = {true, readText(lastCustomPath())};
    if (last.name == fileName || !hostKeepsFiles()) return;
    ensureLevelsDirectory();
    if (hostReplaceFile(lastCustomPath(), fileName, HostFileMode::text, progressSaveSeam)) last.name = fileName;
}

void markCustomLevelPassed(const std::string& fileName) {
    if (!progressWritable() || customLevelPassed(fileName)) return; // read-only, or nothing may be written yet
    std::string bytes;
    for (const std::string& name : passedNames()) bytes += name + "\n";
    bytes += fileName + "\n";
    ensureLevelsDirectory();
    const bool saved = hostReplaceFile(passedCustomPath(), bytes, HostFileMode::text, progressSaveSeam);
    if (!saved) consolePrintf("无法保存进度：levels/已通过教师关卡.txt\n");
    noteProgressSaved(saved);
}

bool customLevelPassed(const std::string& fileName) {
    const std::vector<std::string> names = passedNames();
    return std::find(names.begin(), names.end(), fileName) != names.end();
}

bool offerLastCustomLevel() {
    const std::string name = readText(lastCustomPath());
    lastPlayed() = {true, name};
    if (name.empty()) return false;
    const std::vector<CustomLevelEntry> entries = customLevelEntries();
    const auto entry = std::find_if(entries.begin(), entries.end(),
                                    [&](const CustomLevelEntry& e) { return e.fileName == name && !e.broken; });
    // A level file since removed or broken: the built-in level is offered instead.
    if (entry == entries.end()) return false;
    const std::string text = "你上次玩的是「" + entry->title + "」，是否继续？";
    game.Choose("选择", text, {{"是", [name] { switchToCustomLevel(name); }}, {"否", startLevelOneWithSavedCode}},
                {{VK_RETURN, "是"}, {'Y', "是"}, {VK_ESCAPE, "是"}, {'N', "否"}}, "是");
    return true;
}

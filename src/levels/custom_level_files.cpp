#include "levels/custom_level_files.h"

#include <memory>

#include "levels/custom_level.h"
#include "shell/host_files.h"
#include "shell/messages.h"

namespace {
// Messages carry no name (it is GBK here, they are UTF-8): each starts ":line:column:" or ":".
LevelFile readNamed(const std::string& fileName) {
    std::string bytes;
    if (hostReadFile(hostPath(CUSTOM_LEVELS_DIRECTORY, fileName), bytes, HostFileMode::binary) != HostRead::read) {
        LevelFile file;
        file.errors.push_back(": cannot be read");
        return file;
    }
    LevelFile file = parseLevelFile(bytes, "");
    // As check-level: a file whose reference cannot be played is refused too.
    if (file.level) {
        std::vector<std::string> problems = customLevelProblems(*file.level, DEFAULT_MAX_STEPS);
        if (!problems.empty()) {
            file.errors = std::move(problems);
            file.level.reset();
        }
    }
    return file;
}
} // namespace

std::vector<CustomLevelEntry> customLevelEntries() {
    std::vector<CustomLevelEntry> entries;
    for (const std::string& name : hostListFiles(CUSTOM_LEVELS_DIRECTORY, ".toml")) {
        const LevelFile file = readNamed(name);
        if (file.level) entries.push_back({name, file.level->title, false});
        else entries.push_back({name, name.substr(0, name.size() - 5), true});
    }
    return entries;
}

bool loadCustomLevelFile(const std::string& fileName) {
    LevelFile file = readNamed(fileName);
    if (!file.level) {
        consolePrintf("关卡文件有误：\n");
        for (const std::string& error : file.errors)
            consolePrintf("%s%s\n", fileName.c_str(), gbkFromUtf8Text(error).c_str());
        return false;
    }
    file.level->fileName = fileName;
    useCustomLevel(std::make_shared<CustomLevel>(std::move(*file.level)));
    return true;
}

std::string customLevelCodeName(const std::string& fileName) {
    const std::string stem = fileName.size() > 5 ? fileName.substr(0, fileName.size() - 5) : fileName;
    return stem + "代码.txt";
}

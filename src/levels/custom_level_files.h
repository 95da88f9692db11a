// Teachers' levels in the game: the TOML files in custom-levels/ (beside
// levels/), each played as CUSTOM_LEVEL, its code kept in levels/ under the
// file's own name (相等.toml: 相等代码.txt). Names here are GBK.
//
//   for (const CustomLevelEntry& e : customLevelEntries()) ...   // for 选关
//   if (loadCustomLevelFile(e.fileName)) game.setLEVEL(CUSTOM_LEVEL);
#pragma once
#include <string>
#include <vector>

inline constexpr const char* CUSTOM_LEVELS_DIRECTORY = "custom-levels";

struct CustomLevelEntry {
    std::string fileName; // "相等.toml"
    std::string title;    // the file's title, or its name when it cannot be read
    bool broken = false;  // choosing it lists its errors
};

std::vector<CustomLevelEntry> customLevelEntries();
// Reads the file and makes it the level CUSTOM_LEVEL plays; false (the
// errors printed in the console panel) when it cannot be used.
bool loadCustomLevelFile(const std::string& fileName);
// The code file's name for a level file's name.
std::string customLevelCodeName(const std::string& fileName);

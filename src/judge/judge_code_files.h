// Finding a student's code files for grade: the game saves level N's code as
// 第N关代码.txt (a teacher's level X.toml as X代码.txt) in its levels folder;
// students hand in that folder, the files alone, or the folder inside another
// one. Every file under the student's folder, at any depth, is looked at:
// levels/ first, then the folder itself, then deeper folders, shallowest
// first. Files that look like code files but cannot be used (第02关代码.txt,
// 第2关代码.TXT, a second copy of a level's file) are named in the level's
// notes rather than passed over in silence.
//
//   StudentFiles found = findCodeFiles(folder, wanted);
//   found.paths[c]   // the file judged for column c, or empty
//   found.notes[c]   // "sub/第2关代码.txt：另有levels/第2关代码.txt，本文件未评分"
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What a column's code file is called: level N (built-in) or the level file's stem.
struct WantedCode {
    std::uint16_t level = 0; // 0: a teacher's level
    std::string stem;        // a teacher's level file's name without .toml (UTF-8)
};

struct StudentFiles {
    std::vector<std::string> paths;              // per column
    std::vector<std::vector<std::string>> notes; // per column, UTF-8
};

StudentFiles findCodeFiles(const std::filesystem::path& student, const std::vector<WantedCode>& wanted);

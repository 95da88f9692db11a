// The judge's command line, files, folders and text output on the host.
// Inside the judge a path is a string: on POSIX the system's own bytes, on
// Windows UTF-8 (the command line is read as UTF-16 and every file and folder
// is opened through the wide API), so Chinese names work whatever the
// system's code page.
//
//   std::vector<std::string> args = judgeArguments(argc, argv);
//   std::FILE* f = openFile(path, "rb");                  // errno set when it fails
//   for (auto& e : fs::directory_iterator(filePath(dir))) ... pathText(e.path())
//   writeText(stdout, utf8);                               // a Windows console gets UTF-16
#pragma once
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program's arguments (argv[0] first).
std::vector<std::string> judgeArguments(int argc, char** argv);

std::filesystem::path filePath(const std::string& path);
std::string pathText(const std::filesystem::path& path);
std::FILE* openFile(const std::string& path, const char* mode);

// Files a student or teacher hands in are read whole only when they are small.
inline constexpr std::size_t CODE_FILE_LIMIT = 1 << 20;
// The bytes of a regular file of at most `limit` bytes, or nullopt with why
// not in `problem` (the system's message, "not a regular file", or "too
// large"). A FIFO or a device is refused without being opened for reading,
// so nothing waits on a writer; a larger file is refused by its size.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t limit, std::string& problem);

// UTF-8 text to standard output or error: bytes as they are, except to a
// Windows console, which gets the characters (no code page involved).
void writeText(std::FILE* stream, std::string_view utf8);
// Whether `stream` is a terminal or console (progress lines are shown there).
bool isInteractive(std::FILE* stream);

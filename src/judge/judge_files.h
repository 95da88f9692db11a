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
#include <string>
#include <string_view>
#include <vector>

// The program's arguments (argv[0] first).
std::vector<std::string> judgeArguments(int argc, char** argv);

std::filesystem::path filePath(const std::string& path);
std::string pathText(const std::filesystem::path& path);
std::FILE* openFile(const std::string& path, const char* mode);

// UTF-8 text to standard output or error: bytes as they are, except to a
// Windows console, which gets the characters (no code page involved).
void writeText(std::FILE* stream, std::string_view utf8);
// Whether `stream` is a terminal or console (progress lines are shown there).
bool isInteractive(std::FILE* stream);

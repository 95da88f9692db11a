// Shared helpers for the unit tests.
#pragma once
#include <string>

#include "console/fake_console.h"

FakeConsole& fakeConsole();
extern bool testKeepsFiles;

// Restarts every global of the program as at process start, on a fresh fake console.
void freshProgram();

// A fresh temporary directory, made the working directory until the guard ends.
struct TempDirectory {
    std::string path;
    std::string previous;
    TempDirectory();
    ~TempDirectory();
};

// Converts UTF-8 to GBK bytes and back (iconv), for building test input and reading output.
std::string toGbk(const std::string& utf8);
std::string toUtf8(const std::string& gbk);

// Test helpers that need <windows.h>, kept apart from console/platform.h's names.
#pragma once
#include <string>

// Converts text between two Windows code pages (936 GBK, 65001 UTF-8).
std::string convertCodePage(const std::string& text, unsigned to, unsigned from);
// A GBK path as the UTF-16 name the file system knows.
std::wstring wideFromGbkPath(const std::string& gbk);
bool isHiddenDirectory(const std::string& gbk);
// Holds a file open as another program would: a game's lock (others may only
// read it; `content` written first), or an editor or scanner that lets nobody
// else open it. Null when it cannot be opened.
void* holdFile(const std::string& gbkPath, bool othersMayRead, const std::string& content = {});
void releaseFile(void* handle);

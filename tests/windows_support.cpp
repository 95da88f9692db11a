#include "windows_support.h"

#include <windows.h>

std::string convertCodePage(const std::string& in, unsigned to, unsigned from) {
    if (in.empty()) return {};
    const int n = MultiByteToWideChar(from, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(from, 0, in.data(), static_cast<int>(in.size()), wide.data(), n);
    const int m = WideCharToMultiByte(to, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(to, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

std::wstring wideFromGbkPath(const std::string& gbk) {
    std::wstring wide(gbk.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

bool isHiddenDirectory(const std::string& gbk) {
    const DWORD attributes = GetFileAttributesW(wideFromGbkPath(gbk).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

void* holdFile(const std::string& gbkPath, bool othersMayRead, const std::string& content) {
    HANDLE file = CreateFileW(wideFromGbkPath(gbkPath).c_str(), othersMayRead ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                              othersMayRead ? FILE_SHARE_READ : 0, nullptr, othersMayRead ? OPEN_ALWAYS : OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    DWORD written = 0;
    if (!content.empty()) WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    return file;
}

void releaseFile(void* handle) {
    if (handle) CloseHandle(static_cast<HANDLE>(handle));
}

// Text and JSON helpers for the headless judge, whose output is one line of
// UTF-8 JSON while everything inside the program is GBK.
//
//   JsonObject out;
//   out.number("steps", 12).string("console", gbkToUtf8(text));
//   std::puts(out.text().c_str());
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Strictly valid UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool isUtf8(std::string_view bytes);
bool isAscii(std::string_view bytes);

// Invalid or truncated GBK sequences become U+FFFD, one per offending byte.
std::string gbkToUtf8(std::string_view gbk);
// Expects valid UTF-8; characters that GBK lacks become '?'.
std::string utf8ToGbk(std::string_view utf8);

// A quoted JSON string; control characters are escaped, other bytes kept as they are.
std::string jsonString(std::string_view utf8);
// Upper-case hexadecimal, two digits per byte, no separators.
std::string hexBytes(const std::uint8_t* bytes, std::size_t count);

class JsonObject {
public:
    JsonObject& number(std::string_view key, std::uint64_t value);
    JsonObject& string(std::string_view key, std::string_view utf8);
    JsonObject& raw(std::string_view key, std::string_view json); // value that is JSON already
    std::string text() const { return body + "}"; }

private:
    void key(std::string_view name);
    std::string body = "{";
};

// Text and JSON helpers for the headless judge, whose output is one line of
// UTF-8 JSON per result while everything inside the program is GBK.
//
//   Json out;                       // keys keep the order they are set in
//   out["steps"] = 12;
//   out["console"] = gbkToUtf8(text);
//   printJsonLine(out);
#pragma once
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

using Json = nlohmann::ordered_json;

// Strictly valid UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool isUtf8(std::string_view bytes);
bool isAscii(std::string_view bytes);

// Invalid or truncated GBK sequences become U+FFFD, one per offending byte.
std::string gbkToUtf8(std::string_view gbk);
// Expects valid UTF-8; characters that GBK lacks become '?'.
std::string utf8ToGbk(std::string_view utf8);

// Upper-case hexadecimal, two digits per byte, no separators.
std::string hexBytes(const std::uint8_t* bytes, std::size_t count);

// The value on one line, control characters (and DEL) escaped as \u00xx
// except \n, \r and \t, so scripts that grep the output see the same bytes
// from every version of the judge.
std::string jsonText(const Json& value);
// jsonText and a line break on standard output.
void printJsonLine(const Json& value);

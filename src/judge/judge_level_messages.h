// What a teacher reads when a level file cannot be used: Chinese first, then
// the file:line:column and the reader's (or toml++'s) own words, so that the
// line can be found and the English searched for. Also what the reference
// does that a teacher would not see: tabs and invisible characters, assembler
// warnings, input blocks written over the program.
//
//   if (auto message = notUtf8Message(bytes, name)) errors.push_back(*message);
//   for (std::string& error : file.errors) error = inChinese(error);
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "levels/level_file.h"

// "相等.toml:3:7: 请把关卡文件存成UTF-8…" when the bytes are not UTF-8 (GBK, as Notepad may save).
std::optional<std::string> notUtf8Message(const std::string& bytes, const std::string& name);
// A reader's error with a Chinese lead: a TOML syntax error or a problem with a key.
std::string inChinese(const std::string& error);
// A GBK line as UTF-8 with tabs as "→" and full-width or other invisible blanks named.
std::string visibleLine(const std::string& gbkLine);
// The reference's line `index` (from 0), shown visibly, when it holds a tab or an invisible blank; else empty.
std::string invisibleCharacters(const CustomLevel& level, std::size_t index);
// Input blocks (random or boundary) that overlap the program's bytes [0, programBytes);
// `reference`: the level's own reference, else a student's program.
std::vector<std::string> inputOverlaps(const CustomLevel& level, std::size_t programBytes, bool reference = true);
// The assembler's warnings on the reference, as the game's console words them.
std::vector<std::string> referenceWarnings(const CustomLevel& level);

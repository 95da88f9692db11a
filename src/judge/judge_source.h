// Source files as every judge subcommand reads them: the game's own code text.
// GBK or UTF-8 (with or without a byte order mark), LF or CR LF line ends all
// become GBK with "\n", as the game turns a saved code file into editor text.
//
//   std::optional<std::string> source = readSource(path);   // message on stderr if unreadable
//   if (source) assembler.complie(*source);
#pragma once
#include <optional>
#include <string>

// The bytes of a file as the game's text: GBK, lines ending in "\n".
std::string sourceText(std::string bytes);

// nullopt (after a message on standard error) when the file cannot be read.
std::optional<std::string> readSource(const std::string& path);

// A path for the judge's output: file names are shown as UTF-8 whatever their bytes.
std::string displayName(const std::string& path);

// The manual's two reference pages beside the instruction entries: what the
// flags mean and which instructions change them, and how labels and numbers
// are read. The code examples they print are data, so tests can assemble them.
//
//   titled("标志位", {makeLeaf(manualFlagsText())});
//   for (const std::string& source : manualExamples()) assembler.complie(source);
#pragma once
#include <string>
#include <vector>

// GBK text, lines ending in '\n'.
const char* manualFlagsText();
const std::string& manualLabelsText();

// Every code example of those pages, as assembly source (lines joined by '\n').
const std::vector<std::string>& manualExamples();

// Identical work: two programs count as the same when they are equal after
// setting aside what does not change the program's meaning to the assembler:
// comments (";" lines and anything after an instruction's last operand),
// blank lines, spacing, letter case and the names of labels (renamed L1, L2...
// in the order they are defined).
//
//   std::string key = normalisedProgram(gbkSource);
//   auto groups = identicalGroups({{"张三", keyA}, {"李四", keyB}});   // groups of two or more
#pragma once
#include <string>
#include <utility>
#include <vector>

std::string normalisedProgram(const std::string& gbkSource);

// Indices of items with equal keys, groups of two or more, in order of their
// first member; members in the order given.
std::vector<std::vector<std::size_t>> identicalGroups(const std::vector<std::string>& keys);

// Grading in shards: `grade DIR --shard K/N` judges the K-th of N equal parts
// of the students (sorted by name). It prints a header line that says which
// part it is, which students and levels it holds; then a verdict line for
// every one of those students and levels (each with a key of its program,
// for finding identical work); and a last line saying it finished. `merge`
// reads the shards back into the class one whole run would have built, and
// refuses shards that were cut short or lack a student or a level.
//
//   auto [k, n] = requireShard("2/4");
//   std::size_t first = shardBegin(k, n, students), end = shardBegin(k + 1, n, students);
#pragma once
#include <string>
#include <utility>

#include "judge/judge_grade.h"

std::pair<unsigned, unsigned> requireShard(const std::string& text);
// Index of the first student of shard k (1-based) of n; shardBegin(n + 1, ...) is the end.
std::size_t shardBegin(unsigned k, unsigned n, std::size_t students);

// {"shard":"K/N","seed":S,"levels":[1,2,"X.toml"],"levelFiles":[{"file","title","referenceLines"}],"students":[...]}
Json shardHeader(const GradeClass& graded, unsigned k, unsigned n);
// {"shardEnd":"K/N","lines":M}: M verdict lines came before it.
Json shardEnd(unsigned k, unsigned n, std::size_t lines);
// A short stand-in for a normalised program: equal programs, equal keys;
// "hash:bytes:statements".
std::string programKey(const std::string& normalised);

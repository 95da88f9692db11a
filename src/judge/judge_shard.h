// Grading in shards: `grade DIR --shard K/N` judges the K-th of N equal parts
// of the students (sorted by name) and prints, before its verdict lines, one
// header line that says which part it is and which students it holds; each
// verdict line also carries a key of its program for finding identical work.
// `merge` reads the shards back into the class one whole run would have built.
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

// {"shard":"K/N","seed":S,"levels":"A-B" or "levelFile":NAME,"students":[...]}
Json shardHeader(const GradeClass& graded, unsigned k, unsigned n);
// A short stand-in for a normalised program: equal programs, equal keys.
std::string programKey(const std::string& normalised);

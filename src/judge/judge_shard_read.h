// Reading one shard (the standard output of `grade --shard K/N`) for merge:
// its header line and its verdict lines, each checked for the form the
// grader writes. Anything else is refused with the file and line.
//
//   Shard shard;
//   std::string problem;
//   if (!readShard(file, "shard1.jsonl", shard, problem)) fail(problem);  // "shard1.jsonl:3: ..."
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "judge/judge_json.h"

struct Shard {
    Json header;             // {"shard":"K/N","seed":S,"levels":"A-B" or "levelFile":NAME,"students":[...]}
    std::vector<Json> lines; // verdict lines, each with "student" and "level"
};

// Reads the whole stream; false with `problem` naming `name` and the line.
bool readShard(std::FILE* file, const std::string& name, Shard& shard, std::string& problem);

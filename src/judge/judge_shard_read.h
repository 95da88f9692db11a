// Reading one shard (the standard output of `grade --shard K/N`) for merge:
// its header line, its verdict lines, each bounded in length and depth and
// checked for the form the grader writes, and its last line. Anything else is
// refused with the file and line; a shard without its last line was cut short.
//
//   Shard shard;
//   std::string problem;
//   if (!readShard(bytes, "shard1.jsonl", shard, problem)) fail(problem);  // "shard1.jsonl:3: ..."
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "judge/judge_grade.h"

struct Shard {
    std::string path; // UTF-8, for messages
    Json header;
    std::vector<Json> lines; // verdict lines, each with "student" and "level"
    bool finished = false;   // its last line came
};

// The file's bytes: UTF-8, or UTF-16 with a byte order mark as PowerShell 5.1's `>` saves it.
bool readShard(const std::string& bytes, const std::string& name, Shard& shard, std::string& problem);

// The class of all shards (each student and level exactly once, every shard
// of 1..N), or nullopt after saying why on standard error. Moves the verdicts
// out of `shards`; `lines` gets the verdict lines as a whole run prints them.
std::optional<GradeClass> joinShards(std::vector<Shard>& shards, std::vector<Json>& lines);

// The form of the JSON the judge reads back as verdicts (merge's shard lines):
// every key the reports use present and of the type `level` writes, so that a
// tampered or damaged line is refused with its key named instead of failing
// later while a report is written.
//
//   std::string problem = verdictProblem(line);   // "failure: missing", or empty
#pragma once
#include <string>

#include "judge/judge_json.h"

// Empty when `verdict` has the form of a `level` verdict: "passes", "failure"
// (null, or an object with "run", "reason", "mismatches" and maybe "errors"),
// optional "completed", "size" and "steps"; else the first key that is wrong.
std::string verdictProblem(const Json& verdict);

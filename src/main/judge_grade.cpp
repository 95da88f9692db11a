#include "main/judge_cli.h"
JudgeCommand addGradeCommand(CLI::App& judge) { return {judge.add_subcommand("grade", "x"), [] { return 0; }}; }
JudgeCommand addGradeWorkerCommand(CLI::App& judge) { return {judge.add_subcommand("grade-worker", "x"), [] { return 0; }}; }

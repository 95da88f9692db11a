// asmquest-judge: runs the game's assembler, CPU and level judging without a
// terminal and reports in lines of UTF-8 JSON (or, for teachers, in text,
// CSV and HTML). It writes no file unless asked to (grade --csv/--html).
//
//   asmquest-judge asm FILE
//   asmquest-judge run FILE [--steps N] [--reg N=XX]... [--mem AAAA=XX]... [--key XX] [--memory]
//   asmquest-judge level N FILE... [--seed S] [--runs K] [--max-steps M]   (N: 1-30 or LEVEL.toml)
//   asmquest-judge check-level LEVEL.toml
//   asmquest-judge grade DIR [--levels A-B] [--level-file LEVEL.toml]... [--level-dir DIR] [--seed S] [--jobs N]
//                            [--csv FILE] [--gradebook FILE] [--html FILE] [--feedback DIR] [--max-steps M] [--shard K/N]
//   asmquest-judge merge [--csv FILE] [--gradebook FILE] [--html FILE] [--feedback DIR] FILE.jsonl...
//   asmquest-judge describe N
//   asmquest-judge manual
//
// Each subcommand lives in its own file (judge_<name>.cpp) and registers its
// options here; `asmquest-judge SUBCOMMAND --help` describes it.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "judge/judge_cli.h"
#include "judge/judge_files.h"
#include "judge/judge_workers.h"

namespace {
constexpr const char* USAGE =
    "usage: asmquest-judge asm FILE\n"
    "       asmquest-judge run FILE [--steps N] [--reg N=XX]... [--mem AAAA=XX]... [--key XX] [--memory]\n"
    "       asmquest-judge level N FILE... [--seed S] [--runs K] [--max-steps M]   (N: 1-30 or LEVEL.toml)\n"
    "       asmquest-judge check-level LEVEL.toml\n"
    "       asmquest-judge grade DIR [--levels A-B] [--level-file LEVEL.toml]... [--level-dir DIR] [--seed S]\n"
    "                            [--jobs N] [--csv FILE] [--gradebook FILE] [--html FILE] [--feedback DIR]\n"
    "                            [--max-steps M] [--shard K/N]\n"
    "       asmquest-judge merge [--csv FILE] [--gradebook FILE] [--html FILE] [--feedback DIR] FILE.jsonl...\n"
    "       asmquest-judge describe N\n"
    "       asmquest-judge manual\n"
    "  FILE is GBK or UTF-8 assembly source; numbers after --reg are 0-15 (decimal),\n"
    "  XX and AAAA are hexadecimal, N after --steps is decimal (default 1000000).\n"
    "  asmquest-judge COMMAND --help explains a command.\n";

int usage(const std::string& message) {
    writeText(stderr, "asmquest-judge: " + message + "\n" + USAGE);
    return EXIT_USAGE;
}
} // namespace

int main(int narrowCount, char** narrowArguments) {
    // On Windows the arguments as typed (UTF-16, as UTF-8), not in the system's code page.
    const std::vector<std::string> arguments = judgeArguments(narrowCount, narrowArguments);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    const int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);
    rememberProgramPath(argc > 0 ? argv[0] : nullptr);
    CLI::App judge("Runs asmquest's assembler, CPU and level judging without a terminal.", "asmquest-judge");
    judge.require_subcommand(1);
    const JudgeCommand commands[] = {
        addAsmCommand(judge),      addRunCommand(judge),      addLevelCommand(judge),  addGradeCommand(judge),
        addGradeWorkerCommand(judge), addMergeCommand(judge), addCheckLevelCommand(judge), addDescribeCommand(judge), addManualCommand(judge),
    };
    if (argc < 2) return usage("no command");
    const std::string_view name = argv[1];
    bool known = false;
    for (const JudgeCommand& command : commands) known = known || command.app->get_name() == name;
    if (!name.starts_with("-") && !known) return usage("unknown command '" + std::string(name) + "'");
    try {
        judge.parse(argc, argv.data());
    } catch (const CLI::CallForHelp&) {
        writeText(stdout, judge.help());
        return EXIT_DONE;
    } catch (const CLI::ParseError& error) {
        return usage(error.what());
    }
    for (const JudgeCommand& command : commands) {
        if (!command.app->parsed()) continue;
        try {
            return command.run();
        } catch (const UsageError& error) {
            return usage(error.message);
        }
    }
    return usage("no command");
}

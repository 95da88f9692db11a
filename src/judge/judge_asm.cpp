// asmquest-judge asm FILE: the assembler's image, line addresses and errors.
#include <memory>

#include "asm/asm.h"
#include "judge/judge_cli.h"
#include "judge/judge_source.h"

JudgeCommand addAsmCommand(CLI::App& judge) {
    auto file = std::make_shared<std::string>();
    CLI::App* app = judge.add_subcommand("asm", "Assemble FILE and print its image, line addresses and errors");
    app->add_option("FILE", *file, "GBK or UTF-8 assembly source")->required();
    return {app, [file] {
                auto source = readSource(*file);
                if (!source) return EXIT_USAGE;
                const std::vector<std::uint8_t> image = assembler.complie(*source);
                printJsonLine(assemblyJson(image));
                return assembler.errors.empty() ? EXIT_DONE : EXIT_ERRORS;
            }};
}

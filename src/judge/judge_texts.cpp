// asmquest-judge describe N / manual: the game's own texts as UTF-8 text a
// teacher can print. describe prints a level's description as its panel
// shows it (without the padding); manual prints the whole manual as an
// outline, every heading open, two spaces of indent per level.
#include <memory>

#include "levels/level_texts.h"
#include "levels/levels.h"
#include "judge/judge_cli.h"
#include "judge/judge_files.h"
#include "shell/manual.h"

namespace {
// Each line with its trailing blanks removed, every line ending in '\n'.
std::string withoutPadding(const std::string& text, std::size_t indent = 0) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        line.erase(line.find_last_not_of(' ') + 1);
        if (!line.empty()) out.append(indent, ' ');
        out += line;
        out += '\n';
        start = end + 1;
    }
    return out;
}

void writeUtf8(const std::string& gbk) {
    writeText(stdout, gbkToUtf8(gbk));
}

bool isTitled(const ManualNode& node) {
    return node.kind == 2 && !node.children.empty() && node.children.front().kind == 1;
}

// The same reading of the tree as the manual panel: a list led by a leaf is
// a heading; a heading followed by a single list has that list as content.
void outline(const ManualNode& node, std::size_t depth, std::string& out) {
    constexpr std::size_t indentPerLevel = 2;
    if (node.kind == 1) {
        out += withoutPadding(node.text, depth * indentPerLevel);
        return;
    }
    if (!isTitled(node)) {
        for (const ManualNode& child : node.children) outline(child, depth, out);
        return;
    }
    out += withoutPadding(node.children.front().text, depth * indentPerLevel);
    if (node.children.size() == 2 && node.children[1].kind == 2) {
        for (const ManualNode& child : node.children[1].children) outline(child, depth + 1, out);
        return;
    }
    for (std::size_t i = 1; i < node.children.size(); ++i) outline(node.children[i], depth + 1, out);
}
} // namespace

JudgeCommand addDescribeCommand(CLI::App& judge) {
    auto level = std::make_shared<std::string>();
    CLI::App* app = judge.add_subcommand("describe", "Print level N's description (1-30) as UTF-8 text");
    app->add_option("N", *level, "The level, 1-30")->required();
    return {app, [level] {
                const std::uint64_t n = requireNumber(*level, 10, 5, 0xFFFF, "level");
                const std::string text = n >= 1 && n <= LAST_CORE_LEVEL
                                             ? levelDescription(static_cast<unsigned short>(n))
                                             : std::string();
                if (text.empty())
                    throw UsageError{"level " + *level + " has no description (levels 1-" +
                                     std::to_string(LAST_CORE_LEVEL) + " have one)"};
                writeUtf8(withoutPadding(text));
                return EXIT_DONE;
            }};
}

JudgeCommand addManualCommand(CLI::App& judge) {
    CLI::App* app = judge.add_subcommand("manual", "Print the instruction manual as an indented UTF-8 outline");
    return {app, [] {
                std::string text;
                outline(manualRoot, 0, text);
                writeUtf8(text);
                return EXIT_DONE;
            }};
}

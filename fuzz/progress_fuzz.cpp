// Any bytes as the last-level file and as a level's code file: the game reads
// them at start-up, offers to continue, takes the answer and plays a few
// frames, saving as it goes. Nothing the files hold may crash it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_set>

#include "fuzz_host.h"
#include "game/game.h"
#include "game/panels.h"

namespace {
std::string workDirectory;

void removeWorkDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(workDirectory, ignored);
}

// One private directory per process, the working directory while an input runs.
void enterWorkDirectory() {
    if (workDirectory.empty()) {
        char pattern[] = "/tmp/asmquest-fuzz-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        workDirectory = pattern;
        std::atexit(removeWorkDirectory);
    }
    std::filesystem::current_path(workDirectory);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void answer(const std::string& label) {
    for (const Button& button : choicePanel.buttons)
        if (button.text == label && button.visible) {
            const auto action = button.action; // the action hides the dialog and its buttons
            if (action) action();
            return;
        }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path previous = std::filesystem::current_path();
    enterWorkDirectory();
    ByteReader in{data, size};
    const std::uint8_t options = in.byte();
    const std::size_t wanted = in.byte() % 8; // read before the remaining length is taken
    const std::size_t lastLevelLength = std::min<std::size_t>(wanted, size - std::min(size, in.at));
    const std::string lastLevel(reinterpret_cast<const char*>(data + in.at), lastLevelLength);
    in.at += lastLevelLength;
    const std::string code(reinterpret_cast<const char*>(data + std::min(size, in.at)), size - std::min(size, in.at));

    std::error_code ignored;
    std::filesystem::remove_all("levels", ignored);
    std::filesystem::remove("log.txt", ignored);
    // With bit 3 nothing can be saved: a file stands where the directory should be.
    const bool blocked = (options & 8) != 0;
    if (blocked) writeFile("levels", code);
    else std::filesystem::create_directory("levels");
    if (options & 1) writeFile(lastLevelPath(), lastLevel);
    unsigned level = lastLevel.size() >= 2
                         ? static_cast<std::uint8_t>(lastLevel[0]) | static_cast<std::uint8_t>(lastLevel[1]) << 8
                         : 1;
    if (options & 2) writeFile(levelCodePath(level), code);

    fuzzKeepsFiles = true;
    fuzzConsole().input.clear();
    restartGlobals();
    answer(options & 4 ? "否" : "是");
    for (int frame = 0; frame < 2; ++frame) {
        game.lastFrameMicros = 0;
        game.update();
    }
    // What the game saved reads back as the editor's text. The game skips
    // rewriting bytes it wrote itself before in this process, so a file this
    // harness replaced is only compared the first time the same text is saved.
    if (game.level != 0 && !blocked) {
        const std::string path = levelCodePath(game.level);
        std::ifstream saved(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
        static std::unordered_set<std::string> savedBefore;
        if (savedBefore.insert(path + '\0' + editorPanel.getText()).second)
            fuzzCheck(text == editorPanel.getText(), "the code file holds the editor's text");
    }
    fuzzKeepsFiles = false;
    std::filesystem::current_path(previous);
    return 0;
}

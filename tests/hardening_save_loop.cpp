// Saves progress in a loop until killed, or checks what a killed loop left.
//
//   hardening_save_loop run      # in a directory: saves level 1..30 with ever new texts
//   hardening_save_loop check    # every progress file holds one whole text, never part of one
//
// Each text names its own number and length, so a file cut short or mixed
// from two saves is recognised.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "game/game.h"
#include "game/panels.h"
#include "console/null_console.h"
#include "game/progress_folder.h"

ConsolePlatform& console() {
    static NullConsole instance;
    return instance;
}

bool hostKeepsFiles() { return true; }

namespace {
std::string stateText(unsigned long k) {
    std::string body;
    const unsigned long length = 1 + (k * 7919) % 6000; // never an empty line, which the editor drops
    for (unsigned long i = 0; i < length; ++i) body += static_cast<char>('a' + (k + i) % 26);
    return "state " + std::to_string(k) + "\n" + body + "\nend " + std::to_string(k);
}

bool validState(const std::string& text) {
    unsigned long k = 0;
    if (std::sscanf(text.c_str(), "state %lu", &k) != 1) return false;
    return text == stateText(k);
}

int check() {
    int bad = 0, files = 0;
    // Killed before its first save: the game writes nothing before it plays.
    std::error_code missing;
    if (!std::filesystem::is_directory("levels", missing)) {
        std::printf("0 files, 0 bad\n");
        return 0;
    }
    for (const auto& entry : std::filesystem::directory_iterator("levels")) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) continue; // an unfinished save's own file
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".lock") == 0) continue; // the game's lock, not progress
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ++files;
        if (entry.path() == std::filesystem::path(lastLevelPath()) ||
            entry.path() == std::filesystem::path(highestLevelPath())) {
            const unsigned level = bytes.size() == 2 ? static_cast<unsigned char>(bytes[0]) | static_cast<unsigned char>(bytes[1]) << 8 : 0;
            if (level < 1 || level > 30) ++bad, std::printf("bad level-number file %s: %zu bytes, level %u\n", name.c_str(), bytes.size(), level);
        } else if (!bytes.empty() && !validState(bytes)) {
            ++bad;
            std::printf("partial code file %s: %zu bytes\n", name.c_str(), bytes.size());
        }
    }
    std::printf("%d files, %d bad\n", files, bad);
    return bad == 0 ? 0 : 1;
}
} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "check") return check();
    if (mode != "run") return 2;
    tendProgressFolder(); // as the game's first frame: the folder's lock, a killed loop's taken over
    for (unsigned long k = 1;; ++k) {
        editorPanel.setText(stateText(k));
        saveProgress(static_cast<unsigned>(1 + k % 30));
    }
}

// Writes the seed inputs that are built from the reference solutions: each
// solution assembled into a cpu_fuzz input (raw machine and level mode) and an
// editor_fuzz input that types it. Usage: make_seeds SOURCE_DIR OUTPUT_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "asm/asm.h"

namespace {
void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::filesystem::path levels = std::filesystem::path(argv[1]) / "tests" / "levels";
    const std::filesystem::path out = argv[2];
    for (const char* target : {"cpu", "editor"}) std::filesystem::create_directories(out / target);
    for (const auto& entry : std::filesystem::directory_iterator(levels)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".asm") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Asm assembler;
        const std::vector<std::uint8_t> image = assembler.complie(source);
        const std::string name = entry.path().stem().string();
        const int level = std::stoi(name.substr(5));

        // Raw machine: steps 2000, registers 0..15 = index, flags 0, PC 0, SP FD00, timer off, no key, image at 0.
        std::string raw = {0x00, static_cast<char>(0xD0), 0x07};
        for (int r = 0; r < 16; ++r) raw += static_cast<char>(r);
        raw += std::string{0x00, 0x00, 0x00, 0x00, static_cast<char>(0xFD), static_cast<char>(0xFF),
                           static_cast<char>(0xFF), 0x00, 0x00, 0x00};
        raw.append(image.begin(), image.end());
        writeFile(out / "cpu" / (name + "-raw"), raw);
        std::string played = {static_cast<char>(0x80 | level), static_cast<char>(0xD0), 0x07};
        played.append(image.begin(), image.end());
        writeFile(out / "cpu" / (name + "-level"), played);

        // Editor: type each byte (operation 1), then compile and run through frames is left to the fuzzer.
        std::string typing;
        for (char c : source) {
            if (c == '\n') c = '\r';
            typing += '\x01';
            typing += c;
        }
        writeFile(out / "editor" / name, typing.substr(0, 1200));
    }
    return 0;
}

// Any bytes as assembly source: the assembler reports errors per line and
// never fails otherwise; what it returns must agree with itself: one address
// per line, labels on line addresses, the same image twice.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "asm/asm.h"
#include "fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Asm fresh;
    const std::vector<std::uint8_t> image = fresh.complie(text);
    const std::size_t lineCount = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    fuzzCheck(image.size() <= 4 * lineCount, "at most one word per line");
    fuzzCheck(fresh.lineAddress.size() == lineCount, "one address per line");
    for (const auto& [line, messages] : fresh.errors) fuzzCheck(!messages.empty(), "an error entry has a message");
    // Both passes count the same bytes: in a clean text every label is the address of a line.
    if (fresh.errors.empty())
        for (const auto& [name, address] : fresh.labels)
            fuzzCheck(std::find(fresh.lineAddress.begin(), fresh.lineAddress.end(), address) != fresh.lineAddress.end(),
                      "a label is the address of a line");

    // A second run over the same text gives the same bytes: no state leaks between compiles.
    Asm again;
    fuzzCheck(again.complie(text) == image, "compiling twice gives the same image");
    loadProgram(image); // oversized images are reported, not copied past memory
    return 0;
}

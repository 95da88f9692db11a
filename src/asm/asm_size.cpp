#include "asm/asm.h"

ProgramSize programSize(const std::vector<std::uint8_t>& image, const std::vector<std::uint16_t>& lineAddress) {
    ProgramSize size;
    size.bytes = image.size();
    for (std::size_t i = 0; i < lineAddress.size(); ++i) {
        const std::uint16_t end = i + 1 < lineAddress.size() ? lineAddress[i + 1] : static_cast<std::uint16_t>(image.size());
        if (static_cast<std::uint16_t>(end - lineAddress[i]) == 4) ++size.instructions;
    }
    return size;
}

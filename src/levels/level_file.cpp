#include "levels/level_file.h"

#include <algorithm>
#include <cstdio>

#include "levels/toml.h"
#include "shell/host_files.h"
#include "text/gbk_wide.h"

namespace {

// Collects errors; each names the file, the line and column, and the key.
struct Reader {
    std::string name;
    std::vector<std::pair<toml::source_position, std::string>> errors; // sorted into file order at the end

    void error(const toml::node& node, const std::string& key, const std::string& message) {
        const toml::source_position at = node.source().begin;
        errors.push_back({at, name + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " + key +
                                  ": " + message});
    }

    std::optional<std::int64_t> integer(const toml::node& node, const std::string& key, std::int64_t min,
                                        std::int64_t max) {
        const auto value = node.value_exact<std::int64_t>();
        if (!value || *value < min || *value > max) {
            char range[64];
            std::snprintf(range, sizeof range, "expected an integer from %lld to %lld (0x%llX)", static_cast<long long>(min),
                          static_cast<long long>(max), static_cast<unsigned long long>(max));
            error(node, key, range);
            return std::nullopt;
        }
        return value;
    }

    std::optional<std::string> string(const toml::node& node, const std::string& key) {
        const auto value = node.value_exact<std::string>();
        if (!value) error(node, key, "expected a string");
        return value;
    }

    // "r0".."rf", any case.
    std::optional<std::uint8_t> registerName(std::string_view text) {
        if (text.size() != 2 || (text[0] != 'r' && text[0] != 'R')) return std::nullopt;
        const char c = text[1];
        if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
        return std::nullopt;
    }

    // "byte", { min, max } or { values = [...] }.
    std::optional<InputDraw> draw(const toml::node& node, const std::string& key) {
        InputDraw result;
        if (node.is_string()) {
            if (node.value_exact<std::string>() == "byte") return result;
            error(node, key, "expected \"byte\", { min = A, max = B } or { values = [...] }");
            return std::nullopt;
        }
        const toml::table* table = node.as_table();
        if (!table) {
            error(node, key, "expected \"byte\", { min = A, max = B } or { values = [...] }");
            return std::nullopt;
        }
        for (auto&& [k, v] : *table)
            if (k != "min" && k != "max" && k != "values") error(v, key + "." + std::string(k.str()), "unknown key");
        if (const toml::node* values = table->get("values")) {
            if (table->contains("min") || table->contains("max")) error(node, key, "give either min and max or values");
            const toml::array* list = values->as_array();
            if (!list || list->empty()) {
                error(*values, key + ".values", "expected a list of one or more bytes");
                return std::nullopt;
            }
            result.kind = InputDraw::Kind::values;
            for (std::size_t i = 0; i < list->size(); ++i)
                if (auto byte = integer(*list->get(i), key + ".values[" + std::to_string(i) + "]", 0, 0xFF))
                    result.values.push_back(static_cast<std::uint8_t>(*byte));
            return result;
        }
        const toml::node* min = table->get("min");
        const toml::node* max = table->get("max");
        if (!min || !max) {
            error(node, key, "a range needs both min and max");
            return std::nullopt;
        }
        const auto low = integer(*min, key + ".min", 0, 0xFF);
        const auto high = integer(*max, key + ".max", 0, 0xFF);
        if (!low || !high) return std::nullopt;
        if (*low > *high) {
            error(node, key, "min is greater than max");
            return std::nullopt;
        }
        result.kind = InputDraw::Kind::range;
        result.min = static_cast<std::uint8_t>(*low);
        result.max = static_cast<std::uint8_t>(*high);
        return result;
    }

    void inputs(const toml::table& table, CustomLevel& level) {
        std::vector<std::pair<toml::source_position, RegisterInput>> registers;
        for (auto&& [k, v] : table) {
            const std::string key = "inputs." + std::string(k.str());
            if (k == "memory") {
                const toml::array* blocks = v.as_array();
                if (!blocks || !blocks->is_array_of_tables()) {
                    error(v, key, "expected [[inputs.memory]] tables");
                    continue;
                }
                for (std::size_t i = 0; i < blocks->size(); ++i) memoryInput(*blocks->get(i)->as_table(), key + "[" + std::to_string(i) + "]", level);
                continue;
            }
            const auto index = registerName(k.str());
            if (!index || *index == 0) {
                error(v, key, "unknown key (inputs are registers r1 to rf and [[inputs.memory]])");
                continue;
            }
            if (auto d = draw(v, key)) registers.push_back({k.source().begin, {*index, *d}});
        }
        // toml++ keeps a table's keys sorted; the draws follow the file's order.
        std::stable_sort(registers.begin(), registers.end(), [](const auto& a, const auto& b) {
            return a.first.line != b.first.line ? a.first.line < b.first.line : a.first.column < b.first.column;
        });
        for (auto& entry : registers) level.registers.push_back(entry.second);
    }

    void memoryInput(const toml::table& table, const std::string& key, CustomLevel& level) {
        MemoryInput block;
        bool complete = true;
        for (auto&& [k, v] : table)
            if (k != "address" && k != "count" && k != "bytes") error(v, key + "." + std::string(k.str()), "unknown key");
        const toml::node* address = table.get("address");
        const toml::node* count = table.get("count");
        const toml::node* bytes = table.get("bytes");
        if (!address || !count || !bytes) {
            error(table, key, "a memory block needs address, count and bytes");
            return;
        }
        const auto a = integer(*address, key + ".address", 0, 0xFFFF);
        const auto n = integer(*count, key + ".count", 1, 0x10000);
        const auto d = draw(*bytes, key + ".bytes");
        complete = a && n && d;
        if (!complete) return;
        if (*a + *n > 0x10000) {
            error(*count, key + ".count", "the block runs past address 0xFFFF");
            return;
        }
        block.address = static_cast<std::uint16_t>(*a);
        block.count = static_cast<std::uint32_t>(*n);
        block.draw = *d;
        level.memory.push_back(block);
    }

    void boundaryRun(const toml::table& table, const std::string& key, CustomLevel& level) {
        BoundaryRun run;
        for (auto&& [k, v] : table) {
            const std::string name = key + "." + std::string(k.str());
            if (k == "note") {
                if (auto note = string(v, name)) run.note = gbkFromUtf8Text(*note);
                continue;
            }
            if (k == "memory") {
                const toml::array* blocks = v.as_array();
                if (!blocks) {
                    error(v, name, "expected a list of { address = A, bytes = [...] }");
                    continue;
                }
                for (std::size_t i = 0; i < blocks->size(); ++i) {
                    const std::string item = name + "[" + std::to_string(i) + "]";
                    const toml::table* block = blocks->get(i)->as_table();
                    const toml::node* address = block ? block->get("address") : nullptr;
                    const toml::array* bytes = block && block->get("bytes") ? block->get("bytes")->as_array() : nullptr;
                    if (!address || !bytes) {
                        error(*blocks->get(i), item, "expected { address = A, bytes = [...] }");
                        continue;
                    }
                    for (auto&& [bk, bv] : *block)
                        if (bk != "address" && bk != "bytes") error(bv, item + "." + std::string(bk.str()), "unknown key");
                    const auto a = integer(*address, item + ".address", 0, 0xFFFF);
                    if (!a) continue;
                    if (*a + static_cast<std::int64_t>(bytes->size()) > 0x10000) {
                        error(*address, item, "the bytes run past address 0xFFFF");
                        continue;
                    }
                    MemoryBlock given{static_cast<std::uint16_t>(*a), {}};
                    for (std::size_t b = 0; b < bytes->size(); ++b)
                        if (auto byte = integer(*bytes->get(b), item + ".bytes[" + std::to_string(b) + "]", 0, 0xFF))
                            given.bytes.push_back(static_cast<std::uint8_t>(*byte));
                    run.memory.push_back(std::move(given));
                }
                continue;
            }
            const auto index = registerName(k.str());
            if (!index || *index == 0) {
                error(v, name, "unknown key (a boundary run names registers r1 to rf, memory and a note)");
                continue;
            }
            if (auto byte = integer(v, name, 0, 0xFF)) run.registers.push_back({*index, static_cast<std::uint8_t>(*byte)});
        }
        level.boundary.push_back(std::move(run));
    }

    void check(const toml::table& table, CustomLevel& level) {
        for (auto&& [k, v] : table) {
            const std::string key = "check." + std::string(k.str());
            if (k == "registers") {
                const toml::array* list = v.as_array();
                if (!list) {
                    error(v, key, "expected a list of register names such as [\"r4\"]");
                    continue;
                }
                for (std::size_t i = 0; i < list->size(); ++i) {
                    const auto name = list->get(i)->value_exact<std::string>();
                    const auto index = name ? registerName(*name) : std::nullopt;
                    if (!index) error(*list->get(i), key + "[" + std::to_string(i) + "]", "expected a register name r0 to rf");
                    else level.checkedRegisters |= static_cast<std::uint16_t>(1u << *index);
                }
            } else if (k == "memory") {
                const toml::array* list = v.as_array();
                if (!list) {
                    error(v, key, "expected a list of inclusive ranges such as [[0x200, 0x207]]");
                    continue;
                }
                for (std::size_t i = 0; i < list->size(); ++i) {
                    const std::string item = key + "[" + std::to_string(i) + "]";
                    const toml::array* range = list->get(i)->as_array();
                    if (!range || range->size() != 2) {
                        error(*list->get(i), item, "expected a range [first, last]");
                        continue;
                    }
                    const auto first = integer(*range->get(0), item + "[0]", 0, 0xFFFF);
                    const auto last = integer(*range->get(1), item + "[1]", 0, 0xFFFF);
                    if (!first || !last) continue;
                    if (*first > *last) error(*list->get(i), item, "first is greater than last");
                    else level.checkedMemory.push_back({static_cast<std::uint16_t>(*first), static_cast<std::uint16_t>(*last)});
                }
            } else {
                error(v, key, "unknown key (check has registers and memory)");
            }
        }
    }
};

} // namespace

std::string gbkFromUtf8Text(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') { // a file saved on Windows
            ++i;
            continue;
        }
        const int length = byte < 0x80 ? 1 : byte >> 5 == 6 ? 2 : byte >> 4 == 14 ? 3 : byte >> 3 == 30 ? 4 : 1;
        std::uint32_t code = length == 1 ? byte : byte & (0x7F >> length);
        for (int k = 1; k < length && i + static_cast<std::size_t>(k) < utf8.size(); ++k)
            code = code << 6 | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        i += static_cast<std::size_t>(length);
        std::uint8_t gbk[2];
        const int n = code < 0x80 ? (gbk[0] = static_cast<std::uint8_t>(code), 1)
                      : code <= 0xFFFF ? gbkFromWide(static_cast<char16_t>(code), gbk)
                                       : 0;
        if (n == 0) out += '?';
        else out.append(reinterpret_cast<const char*>(gbk), static_cast<std::size_t>(n));
    }
    return out;
}

LevelFile parseLevelFile(const std::string& text, const std::string& name) {
    LevelFile file;
    Reader reader{name, {}};
    toml::parse_result parsed = toml::parse(text, name);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        file.errors.push_back(name + ":" + std::to_string(error.source().begin.line) + ":" +
                              std::to_string(error.source().begin.column) + ": " + std::string(error.description()));
        return file;
    }
    const toml::table& root = parsed.table();
    CustomLevel level;
    level.fileName = name;
    bool haveTitle = false, haveReference = false, haveCheck = false;
    for (auto&& [k, v] : root) {
        const std::string key(k.str());
        if (key == "title") {
            if (auto s = reader.string(v, key)) {
                level.title = gbkFromUtf8Text(*s);
                haveTitle = !s->empty();
                if (!haveTitle) reader.error(v, key, "the title is empty");
            }
        } else if (key == "text") {
            if (auto s = reader.string(v, key)) level.text = gbkFromUtf8Text(*s);
        } else if (key == "passes") {
            if (auto n = reader.integer(v, key, 1, 60000)) level.passes = static_cast<unsigned>(*n);
        } else if (key == "max_steps") {
            if (auto n = reader.integer(v, key, 1, INT64_MAX)) level.maxSteps = static_cast<std::uint64_t>(*n);
        } else if (key == "reference") {
            if (auto s = reader.string(v, key)) {
                level.reference = gbkFromUtf8Text(*s);
                haveReference = true;
            }
        } else if (key == "inputs") {
            if (const toml::table* t = v.as_table()) reader.inputs(*t, level);
            else reader.error(v, key, "expected the table [inputs]");
        } else if (key == "boundary") {
            const toml::array* runs = v.as_array();
            if (!runs || !runs->is_array_of_tables() || runs->size() > 1000)
                reader.error(v, key, "expected at most 1000 [[boundary]] tables");
            else
                for (std::size_t i = 0; i < runs->size(); ++i)
                    reader.boundaryRun(*runs->get(i)->as_table(), "boundary[" + std::to_string(i) + "]", level);
        } else if (key == "check") {
            haveCheck = true;
            if (const toml::table* t = v.as_table()) reader.check(*t, level);
            else reader.error(v, key, "expected the table [check]");
        } else {
            reader.error(v, key, "unknown key");
        }
    }
    if (!haveTitle) file.errors.push_back(name + ": title: missing (the level's name in the game and in reports)");
    if (!haveReference) file.errors.push_back(name + ": reference: missing (the program whose results are expected)");
    if (!haveCheck) file.errors.push_back(name + ": check: missing (the registers and memory compared)");
    else if (level.checkedRegisters == 0 && level.checkedMemory.empty())
        file.errors.push_back(name + ": check: compares nothing, so every halt would pass");
    std::stable_sort(reader.errors.begin(), reader.errors.end(), [](const auto& a, const auto& b) {
        return a.first.line != b.first.line ? a.first.line < b.first.line : a.first.column < b.first.column;
    });
    for (std::size_t i = 0; i < reader.errors.size(); ++i)
        file.errors.insert(file.errors.begin() + static_cast<std::ptrdiff_t>(i), reader.errors[i].second);
    if (file.errors.empty()) file.level = std::move(level);
    return file;
}

LevelFile readLevelFile(const std::string& path) {
    std::string bytes;
    if (hostReadFile(path, bytes, HostFileMode::binary) != HostRead::read) {
        LevelFile file;
        file.errors.push_back(path + ": cannot be read");
        return file;
    }
    return parseLevelFile(bytes, path);
}

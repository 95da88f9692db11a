#include "levels/level_inputs.h"

#include <algorithm>
#include <cstdio>

#include "levels/game_random.h"

InputDomain number(const std::string& name, unsigned min, unsigned max) {
    InputDomain d;
    d.name = name;
    d.min = min;
    d.max = max;
    return d;
}

InputDomain byteList(const std::string& name, unsigned shortest, unsigned longest, unsigned min, unsigned max) {
    InputDomain d = number(name, min, max);
    d.kind = InputDomain::Kind::bytes;
    d.shortest = shortest;
    d.longest = longest;
    return d;
}

InputDomain arrival(const std::string& name, unsigned earliest, unsigned latest) {
    InputDomain d = number(name, earliest, latest);
    d.kind = InputDomain::Kind::arrival;
    return d;
}

namespace {

constexpr unsigned specialBytes[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};

bool inside(const InputDomain& d, unsigned v) {
    return v >= d.min && v <= d.max && (d.only.empty() || std::find(d.only.begin(), d.only.end(), v) != d.only.end());
}

std::string hex(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, v > 0xFF ? "%X" : "%02X", v);
    return text;
}

// One value as the level's text writes it: hexadecimal like the registers
// panel, decimal where the text speaks of decimal numbers, letters as letters.
std::string shown(const InputDomain& d, unsigned v) {
    if (d.shown == InputDomain::Shown::decimal) return std::to_string(v);
    if (d.shown == InputDomain::Shown::letters && v >= 0x20 && v < 0x7F) return std::string(1, static_cast<char>(v));
    return hex(v);
}

std::string valueText(const InputDomain& d, const std::vector<unsigned>& value) {
    if (d.kind == InputDomain::Kind::arrival) {
        char text[24];
        std::snprintf(text, sizeof text, "第0x%X步", value.front() + 1);
        return text;
    }
    if (d.kind == InputDomain::Kind::number) return shown(d, value.front());
    if (value.empty()) return "空";
    std::string text;
    for (unsigned v : value) text += (text.empty() || d.shown == InputDomain::Shown::letters ? "" : " ") + shown(d, v);
    return text;
}

// The edges a single value has in its domain: both ends, one inside each end,
// the 8-bit turning points the range holds and its declared edges.
std::vector<unsigned> edgeValues(const InputDomain& d) {
    std::vector<unsigned> values = {d.min, d.max};
    if (!d.only.empty() && d.only.size() <= 8) values.insert(values.end(), d.only.begin(), d.only.end());
    if (d.kind == InputDomain::Kind::number) {
        if (d.max > d.min) values.insert(values.end(), {d.min + 1, d.max - 1});
        for (unsigned v : specialBytes)
            if (inside(d, v)) values.push_back(v);
    }
    for (unsigned v : d.edges)
        if (inside(d, v)) values.push_back(v);
    std::vector<unsigned> unique;
    for (unsigned v : values)
        if (inside(d, v) && std::find(unique.begin(), unique.end(), v) == unique.end()) unique.push_back(v);
    return unique;
}

struct Deriver {
    const LevelInputs& level;
    InputValues typical;
    std::vector<BoundaryRun> runs;

    void add(const InputValues& values, const std::string& note) {
        BoundaryRun run;
        run.note = note;
        level.pin(run, values);
        for (const BoundaryRun& earlier : runs)
            if (earlier.registers.size() == run.registers.size() && earlier.scratch == run.scratch &&
                earlier.keys == run.keys && earlier.keyDelay == run.keyDelay &&
                std::equal(earlier.registers.begin(), earlier.registers.end(), run.registers.begin(),
                           [](const PresetRegister& a, const PresetRegister& b) { return a.index == b.index && a.value == b.value; }) &&
                std::equal(earlier.memory.begin(), earlier.memory.end(), run.memory.begin(), run.memory.end(),
                           [](const MemoryBlock& a, const MemoryBlock& b) { return a.address == b.address && a.bytes == b.bytes; }))
                return;
        runs.push_back(std::move(run));
    }

    // One input changed, the others as typical.
    void with(unsigned i, std::vector<unsigned> value, const std::string& why) {
        InputValues values = typical;
        values[i] = std::move(value);
        const InputDomain& d = level.inputs[i];
        add(values, d.name + "=" + valueText(d, values[i]) + "（" + why + "）");
    }

    void singleValues(unsigned i) {
        const InputDomain& d = level.inputs[i];
        for (unsigned v : edgeValues(d)) {
            const char* why = v == d.min ? (d.kind == InputDomain::Kind::arrival ? "最早" : "最小值")
                              : v == d.max ? (d.kind == InputDomain::Kind::arrival ? "最晚" : "最大值")
                              : std::find(std::begin(specialBytes), std::end(specialBytes), v) != std::end(specialBytes)
                                  ? "8位边界值"
                                  : "边界附近";
            with(i, {v}, why);
        }
    }

    void byteLists(unsigned i) {
        const InputDomain& d = level.inputs[i];
        const std::vector<unsigned>& base = typical[i];
        auto sized = [&](unsigned n) {
            std::vector<unsigned> list(base.begin(), base.begin() + std::min<std::size_t>(n, base.size()));
            while (list.size() < n) list.push_back(base.empty() ? d.min : base[list.size() % base.size()]);
            return list;
        };
        with(i, sized(d.shortest), d.shortest == 0 ? "空" : "最短");
        if (d.shortest < d.longest) {
            with(i, sized(d.longest), "最长");
            if (d.shortest + 1 < d.longest) with(i, sized(d.shortest + 1), "最短之后");
        }
        if (d.longest == 0) return;
        // The extremes everywhere, then at each place (first, middle, last; every place of a short list).
        std::vector<unsigned> everywhere = {d.min, d.max};
        for (unsigned v : specialBytes)
            if (inside(d, v)) everywhere.push_back(v);
        for (unsigned v : everywhere) with(i, std::vector<unsigned>(d.longest, v), "全为" + shown(d, v));
        std::vector<unsigned> places;
        if (d.longest <= 8)
            for (unsigned p = 0; p < d.longest; ++p) places.push_back(p);
        else
            places = {0, d.longest / 2, d.longest - 1};
        std::vector<unsigned> marks;
        for (unsigned v : {0x00u, 0xFFu})
            if (inside(d, v)) marks.push_back(v);
        if (marks.empty()) marks = {d.min, d.max};
        for (unsigned v : marks)
            for (unsigned p : places) {
                std::vector<unsigned> list = sized(d.longest);
                list[p] = v;
                with(i, list, "第" + std::to_string(p + 1) + "个为" + shown(d, v));
            }
    }

    void pair(unsigned i, unsigned j) {
        const InputDomain& a = level.inputs[i];
        const InputDomain& b = level.inputs[j];
        const unsigned low = std::max(a.min, b.min), high = std::min(a.max, b.max);
        auto both = [&](unsigned x, unsigned y, const std::string& why) {
            if (!inside(a, x) || !inside(b, y)) return;
            InputValues values = typical;
            values[i] = {x};
            values[j] = {y};
            add(values, a.name + "=" + shown(a, x) + "，" + b.name + "=" + shown(b, y) + "（" + why + "）");
        };
        if (low <= high) {
            std::vector<unsigned> equal = {low, high};
            if (high > low) equal.push_back(high - 1); // one apart at the top too
            equal.push_back(typical[i].front());
            for (unsigned v : {0x7Fu, 0x80u})
                if (v >= low && v <= high) equal.push_back(v);
            for (unsigned v : equal) {
                both(v, v, "相等");
                both(v + 1, v, "只大1");
                both(v, v + 1, "只小1");
            }
        }
        both(a.min, b.max, "一小一大");
        both(a.max, b.min, "一大一小");
        both(a.min, b.min, "都最小");
        both(a.max, b.max, "都最大");
    }
};

// What a run keeps of the inputs it does not vary: drawn once from a fixed
// generator of its own (never from rand()), inside each domain.
InputValues typicalValues(const LevelInputs& level) {
    GlibcRandom fixed;
    fixed.seed(29);
    InputValues values;
    for (const InputDomain& d : level.inputs) {
        if (!d.typical.empty()) {
            values.push_back(d.typical);
            continue;
        }
        auto pick = [&] {
            if (!d.only.empty()) return d.only[static_cast<unsigned>(fixed.next()) % d.only.size()];
            return d.min + static_cast<unsigned>(fixed.next()) % (d.max - d.min + 1);
        };
        if (d.kind == InputDomain::Kind::bytes) {
            std::vector<unsigned> list;
            for (unsigned n = 0; n < d.longest; ++n) list.push_back(pick());
            values.push_back(list);
        } else if (d.kind == InputDomain::Kind::arrival) {
            values.push_back({d.min});
        } else {
            values.push_back({pick()});
        }
    }
    return values;
}

} // namespace

std::vector<BoundaryRun> deriveBoundaryRuns(const LevelInputs& level) {
    if (level.inputs.empty() || !level.pin) return {};
    Deriver deriver{level, typicalValues(level), {}};
    for (unsigned i = 0; i < level.inputs.size(); ++i) {
        if (level.inputs[i].kind == InputDomain::Kind::bytes) deriver.byteLists(i);
        else deriver.singleValues(i);
    }
    for (const auto& [i, j] : level.compared) deriver.pair(i, j);
    return deriver.runs;
}

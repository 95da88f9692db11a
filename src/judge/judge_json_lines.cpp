#include "judge/judge_json_lines.h"

#include <unordered_set>
#include <vector>

namespace {
// Builds the value itself: the library's own builder looks a key up in an
// ordered object before adding it (quadratic in the number of keys) and has
// no depth limit.
class Builder : public nlohmann::json_sax<Json> {
public:
    explicit Builder(std::string& problem) : problem(problem) {}
    Json root;

    bool null() override { return add(Json(nullptr)); }
    bool boolean(bool value) override { return add(Json(value)); }
    bool number_integer(number_integer_t value) override { return add(Json(value)); }
    bool number_unsigned(number_unsigned_t value) override { return add(Json(value)); }
    bool number_float(number_float_t value, const string_t&) override { return add(Json(value)); }
    bool string(string_t& value) override { return add(Json(std::move(value))); }
    bool binary(binary_t&) override { return refuse("not JSON (binary)"); }
    bool start_object(std::size_t) override { return open(Json::object()); }
    bool start_array(std::size_t) override { return open(Json::array()); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t& name) override {
        if (!levels.back().keys.insert(name).second) return refuse("not JSON (the key \"" + name + "\" is repeated)");
        pendingKey = std::move(name);
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override {
        if (problem.empty()) problem = "not JSON (at byte " + std::to_string(position) + ")";
        return false;
    }

private:
    struct Level {
        Json* value;
        std::unordered_set<std::string> keys; // objects only
    };
    std::string& problem;
    std::vector<Level> levels;
    std::string pendingKey;

    bool refuse(const std::string& why) {
        problem = why;
        return false;
    }

    // Puts `value` where the parser is; returns where it now lives.
    Json* place(Json value) {
        if (levels.empty()) {
            root = std::move(value);
            return &root;
        }
        Json& parent = *levels.back().value;
        if (parent.is_array()) {
            parent.get_ref<Json::array_t&>().push_back(std::move(value));
            return &parent.get_ref<Json::array_t&>().back();
        }
        auto& members = static_cast<Json::object_t::Container&>(parent.get_ref<Json::object_t&>());
        members.emplace_back(std::move(pendingKey), std::move(value));
        return &members.back().second;
    }

    bool add(Json value) {
        place(std::move(value));
        return true;
    }

    bool open(Json container) {
        if (levels.size() >= JSON_DEPTH_LIMIT)
            return refuse("nested deeper than " + std::to_string(JSON_DEPTH_LIMIT));
        levels.push_back({place(std::move(container)), {}});
        return true;
    }

    bool close() {
        levels.pop_back();
        return true;
    }
};
} // namespace

std::optional<Json> parseJsonLine(std::string_view text, std::string& problem) {
    problem.clear();
    Builder builder(problem);
    if (!Json::sax_parse(text.begin(), text.end(), &builder, nlohmann::detail::input_format_t::json, true) &&
        problem.empty())
        problem = "not JSON";
    if (!problem.empty()) return std::nullopt;
    return std::move(builder.root);
}

std::optional<JsonLine> JsonLines::next() {
    JsonLine line;
    std::string text;
    bool tooLong = false;
    int c;
    while ((c = std::getc(file)) != EOF && c != '\n') {
        if (text.size() < limit) text += static_cast<char>(c);
        else tooLong = true;
    }
    if (c == EOF && text.empty() && !tooLong) return std::nullopt;
    line.number = ++number;
    if (tooLong) {
        line.problem = "a line longer than " + std::to_string(limit >> 20) + " MB";
        return line;
    }
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.find_first_not_of(" \t") == std::string::npos) {
        line.blank = true;
        return line;
    }
    if (auto value = parseJsonLine(text, line.problem)) line.value = std::move(*value);
    return line;
}

bool JsonLines::failed() const { return std::ferror(file) != 0; }

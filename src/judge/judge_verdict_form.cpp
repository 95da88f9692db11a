#include "judge/judge_verdict_form.h"

namespace {
// The key's problem, or empty; `optional` keys may be absent.
std::string keyProblem(const Json& object, const char* key, bool (Json::*isType)() const noexcept, const char* type,
                       bool optional = false) {
    const auto found = object.find(key);
    if (found == object.end()) return optional ? std::string() : std::string(key) + ": missing";
    if (!((*found).*isType)()) return std::string(key) + ": not " + type;
    return {};
}

std::string failureProblem(const Json& failure) {
    if (failure.is_null()) return {};
    if (!failure.is_object()) return "failure: not null or an object";
    const auto run = failure.find("run");
    if (run == failure.end()) return "failure.run: missing";
    if (!run->is_string() && !run->is_number_unsigned()) return "failure.run: not a number or a string";
    if (!failure.contains("reason") || !failure.at("reason").is_string()) return "failure.reason: missing or not a string";
    const auto mismatches = failure.find("mismatches");
    if (mismatches == failure.end() || !mismatches->is_array()) return "failure.mismatches: missing or not a list";
    for (const Json& m : *mismatches)
        for (const char* key : {"where", "expected", "actual"})
            if (!m.is_object() || !m.contains(key) || !m.at(key).is_string())
                return std::string("failure.mismatches: ") + key + " missing or not a string";
    if (const auto errors = failure.find("errors"); errors != failure.end()) {
        if (!errors->is_object()) return "failure.errors: not an object";
        for (const auto& [line, messages] : errors->items()) {
            if (!messages.is_array()) return "failure.errors: not lists of messages";
            for (const Json& message : messages)
                if (!message.is_string()) return "failure.errors: not lists of messages";
        }
    }
    return {};
}
} // namespace

std::string verdictProblem(const Json& verdict) {
    if (!verdict.is_object()) return "not an object";
    std::string problem = keyProblem(verdict, "passes", &Json::is_number_unsigned, "a count");
    if (problem.empty()) problem = keyProblem(verdict, "completed", &Json::is_boolean, "true or false", true);
    if (problem.empty()) problem = keyProblem(verdict, "file", &Json::is_string, "a string", true);
    if (problem.empty()) problem = keyProblem(verdict, "program", &Json::is_string, "a string", true);
    if (problem.empty() && !verdict.contains("failure")) problem = "failure: missing";
    if (problem.empty()) problem = failureProblem(verdict.at("failure"));
    if (problem.empty() && verdict.contains("size")) {
        const Json& size = verdict.at("size");
        if (!size.is_object() || !size.contains("instructions") || !size.at("instructions").is_number_unsigned())
            problem = "size: not {\"instructions\":N,...}";
    }
    if (problem.empty() && verdict.contains("steps")) {
        const Json& steps = verdict.at("steps");
        if (!steps.is_object() || !steps.contains("mean") || !steps.at("mean").is_number() || !steps.contains("max") ||
            !steps.at("max").is_number_unsigned())
            problem = "steps: not {\"mean\":X,\"max\":Y}";
    }
    return problem;
}

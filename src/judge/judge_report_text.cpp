#include "judge/judge_report_text.h"

std::string csvField(std::string_view text) {
    std::string field;
    field.reserve(text.size() + 1);
    // OWASP's advice against CSV injection: Excel, LibreOffice and Google
    // Sheets evaluate a cell that starts with one of these.
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) field.push_back('\'');
    field.append(text.data(), text.size());
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string htmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

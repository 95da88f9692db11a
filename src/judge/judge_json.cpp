#include "judge/judge_json.h"

#ifndef _WIN32
#include <iconv.h>
#endif

#include <cerrno>
#include <cstdio>

#include "judge/judge_files.h"
#include "text/gbk_wide.h"

namespace {
// Length of the UTF-8 sequence starting at i, or 0 if it is not valid there.
std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length;
    std::uint32_t minimum;
    std::uint32_t code;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, minimum = 0x80, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, minimum = 0x800, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, minimum = 0x10000, code = lead & 0x07;
    else return 0;
    if (i + length > s.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

#ifndef _WIN32
// Converts as much as iconv can; at each byte it refuses, appends `replacement`
// and skips `skip(position)` bytes.
template <typename Skip>
std::string convert(std::string_view in, const char* to, const char* from, std::string_view replacement, Skip skip) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    out.reserve(in.size() * 3 / 2 + 16);
    char buffer[4096];
    std::size_t position = 0;
    while (position < in.size()) {
        char* source = const_cast<char*>(in.data() + position);
        std::size_t sourceLeft = in.size() - position;
        char* target = buffer;
        std::size_t targetLeft = sizeof buffer;
        std::size_t result = iconv(cd, &source, &sourceLeft, &target, &targetLeft);
        const int error = errno;
        out.append(buffer, sizeof buffer - targetLeft);
        position = in.size() - sourceLeft;
        if (result != static_cast<std::size_t>(-1) || error == E2BIG) continue;
        // EILSEQ or EINVAL (a sequence cut off at the end).
        out.append(replacement);
        position += skip(position);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}
#endif
} // namespace

bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t length = utf8SequenceLength(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

bool isAscii(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

#ifdef _WIN32
// No iconv on Windows: the console back end's GBK conversion, character by
// character, with the same replacements as the iconv path below.
std::string gbkToUtf8(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size() * 3 / 2 + 16);
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto lead = static_cast<std::uint8_t>(gbk[i]);
        char16_t c = lead < 0x80 ? lead : 0;
        if (lead >= 0x81 && lead <= 0xFE && i + 1 < gbk.size())
            if ((c = wideFromGbkPair(lead, static_cast<std::uint8_t>(gbk[i + 1])))) ++i;
        if (!c && lead >= 0x80) c = wideFromGbkByte(lead);
        if (!c && lead >= 0x80) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string utf8ToGbk(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = utf8SequenceLength(utf8, i);
        std::uint32_t code = static_cast<std::uint8_t>(utf8[i]);
        if (length > 1) {
            code &= 0x7Fu >> length;
            for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<std::uint8_t>(utf8[i + k]) & 0x3F);
        }
        std::uint8_t bytes[2];
        const int n = length && code <= 0xFFFF ? gbkFromWide(static_cast<char16_t>(code), bytes) : 0;
        if (n > 0) out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
        else out += '?';
        i += length ? length : 1;
    }
    return out;
}
#else
std::string gbkToUtf8(std::string_view gbk) {
    return convert(gbk, "UTF-8", "GBK", "\xEF\xBF\xBD", [](std::size_t) { return std::size_t{1}; });
}

std::string utf8ToGbk(std::string_view utf8) {
    return convert(utf8, "GBK", "UTF-8", "?", [&](std::size_t position) {
        std::size_t length = utf8SequenceLength(utf8, position);
        return length ? length : std::size_t{1};
    });
}

#endif

std::string hexBytes(const std::uint8_t* bytes, std::size_t count) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out(count * 2, '0');
    for (std::size_t i = 0; i < count; ++i) {
        out[2 * i] = hex[bytes[i] >> 4];
        out[2 * i + 1] = hex[bytes[i] & 0xF];
    }
    return out;
}

std::string jsonText(const Json& value) {
    const std::string dumped = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    // The library writes \b and \f by name and DEL as it is; outside strings
    // there is no backslash and no DEL, so a plain scan finds them.
    std::string out;
    out.reserve(dumped.size());
    for (std::size_t i = 0; i < dumped.size(); ++i) {
        const char c = dumped[i];
        if (c == '\x7F') {
            out += "\\u007f";
        } else if (c == '\\' && i + 1 < dumped.size()) {
            const char escaped = dumped[++i];
            if (escaped == 'b') out += "\\u0008";
            else if (escaped == 'f') out += "\\u000c";
            else (out += '\\') += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

void printJsonLine(const Json& value) {
    std::string line = jsonText(value);
    line += '\n';
    writeText(stdout, line);
}

#include "engine/display_text.h"

#include <cstdint>

namespace zendrow {

namespace {

// The length of the valid UTF-8 sequence at the start of text, or 0 when its first byte does not
// start one (overlong forms, surrogates and code points past U+10FFFF are not valid).
std::size_t utf8SequenceLength(std::string_view text, char32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

// Characters that move the cursor, end a line or turn the text around on the way to the screen.
bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void appendHexByte(std::string& out, unsigned char byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
}

void appendEscapedControl(std::string& out, std::string_view bytes, char32_t c) {
    switch (c) {
    case '\a':
        out += "\\a";
        return;
    case '\b':
        out += "\\b";
        return;
    case '\t':
        out += "\\t";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\v':
        out += "\\v";
        return;
    case '\f':
        out += "\\f";
        return;
    case '\r':
        out += "\\r";
        return;
    default:
        for (const char b : bytes)
            appendHexByte(out, static_cast<unsigned char>(b));
    }
}

// Walks text, escaping what must not reach a terminal; with quoting, also \ and '. True when
// anything was escaped.
bool escape(std::string_view text, bool quoting, std::string& out) {
    bool escaped = false;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = utf8SequenceLength(text.substr(i), c);
        if (length == 0) {
            appendHexByte(out, static_cast<unsigned char>(text[i]));
            escaped = true;
            ++i;
            continue;
        }
        const std::string_view bytes = text.substr(i, length);
        if (isControl(c)) {
            appendEscapedControl(out, bytes, c);
            escaped = true;
        } else if (quoting && (c == '\\' || c == '\'')) {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            out += bytes;
        }
        i += length;
    }
    return escaped;
}

} // namespace

std::string displayName(std::string_view name) {
    std::string escaped;
    const bool anyEscape = escape(name, true, escaped);
    const bool endSpace = !name.empty() && (name.front() == ' ' || name.back() == ' ');
    if (!anyEscape && !endSpace)
        return std::string(name);
    if (!anyEscape && name.find('\'') == std::string_view::npos)
        return "'" + std::string(name) + "'";
    return "$'" + escaped + "'";
}

std::string displayMessage(std::string_view message) {
    std::string out;
    escape(message, false, out);
    return out;
}

} // namespace zendrow

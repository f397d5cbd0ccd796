#pragma once

#include <string_view>

namespace zendrow {

// Letter case and path separators by fixed ASCII rules: names must compare and split the same way
// whatever the locale of the machine, and bytes beyond ASCII (UTF-8, code page 437) stay untouched.

inline constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline constexpr bool asciiIsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

inline constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

/// True for the characters that separate the parts of a path on this platform.
inline constexpr bool isPathSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

} // namespace zendrow

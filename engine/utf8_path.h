#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zendrow {

// Engine strings are UTF-8 on every platform. std::filesystem reads plain char strings in the
// ANSI code page on Windows, so paths cross over as UTF-8 explicitly.

inline std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace zendrow

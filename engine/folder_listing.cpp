#include "engine/folder_listing.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

#include "engine/utf8_path.h"

namespace zendrow {

namespace {

char foldCase(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool isHidden(const std::filesystem::directory_entry& entry) {
#ifdef _WIN32
    // On Windows the file's attributes hide it, as Explorer does; system files stay out too.
    const DWORD attributes = ::GetFileAttributesW(entry.path().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
#else
    // On Linux and macOS a leading dot is what hides a file.
    const std::string name = entry.path().filename().string();
    return !name.empty() && name.front() == '.';
#endif
}

} // namespace

bool matchesMask(std::string_view name, std::string_view mask) {
    // Greedy matching with one backtrack point: the last "*" seen.
    std::size_t n = 0, m = 0, starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || foldCase(mask[m]) == foldCase(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool lessIgnoringCase(std::string_view a, std::string_view b) {
    // Bytes compare unsigned, so that names in UTF-8 beyond ASCII come after the ASCII ones.
    const auto folded = [](char x, char y) {
        return static_cast<unsigned char>(foldCase(x)) < static_cast<unsigned char>(foldCase(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded))
        return false;
    return a < b; // names that differ only in case keep a stable order
}

bool listMatchingFiles(const std::string& folder, std::string_view mask, std::vector<std::string>& names,
                       std::string& error) {
    names.clear();
    std::error_code code;
    std::filesystem::directory_iterator it(pathFromUtf8(folder.empty() ? "." : folder), code), end;
    for (; !code && it != end; it.increment(code)) {
        std::error_code statCode;
        if (!it->is_regular_file(statCode) || isHidden(*it))
            continue;
        std::string name = utf8FromPath(it->path().filename());
        if (matchesMask(name, mask))
            names.push_back(std::move(name));
    }
    if (code) {
        error = code.message();
        return false;
    }
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return true;
}

} // namespace zendrow

#include "engine/folder_listing.h"

#include <algorithm>

#include "engine/ascii_text.h"

namespace zendrow {

bool matchesMask(std::string_view name, std::string_view mask) {
    // Greedy matching with one backtrack point: the last "*" seen.
    std::size_t n = 0, m = 0, starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || asciiLower(mask[m]) == asciiLower(name[n]))) {
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
        return static_cast<unsigned char>(asciiLower(x)) < static_cast<unsigned char>(asciiLower(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded))
        return false;
    return a < b; // names that differ only in case keep a stable order
}

bool listMatchingFiles(FileSystem& fs, const std::string& folder, std::string_view mask,
                       std::vector<std::string>& names, std::string& error) {
    names.clear();
    std::vector<FileSystem::FolderEntry> entries;
    if (!fs.listFolder(folder.empty() ? "." : folder, entries, error))
        return false;
    for (FileSystem::FolderEntry& entry : entries)
        if (entry.regularFile && !entry.hidden && matchesMask(entry.name, mask))
            names.push_back(std::move(entry.name));
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return true;
}

} // namespace zendrow

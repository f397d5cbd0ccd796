#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"

namespace zendrow {

/// The mask the file list starts with.
inline constexpr std::string_view kDefaultMask = "*.vnr";

/// True when name matches mask, where "*" stands for any run of characters and "?" for one;
/// letters match ignoring case, the same on every platform.
bool matchesMask(std::string_view name, std::string_view mask);

/// Less-than on file names, ignoring letter case: the order the file list shows.
bool lessIgnoringCase(std::string_view a, std::string_view b);

/// The names of the plain files in folder that match mask, hidden ones left out, in the list's
/// order. False with error set when the folder cannot be read.
bool listMatchingFiles(FileSystem& fs, const std::string& folder, std::string_view mask,
                       std::vector<std::string>& names, std::string& error);

} // namespace zendrow

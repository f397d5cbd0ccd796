#pragma once

#include <string>

namespace zendrow::test {

/// Faults the tests make, in the words the platform's disk layer reports them.
enum class Fault {
    NoSuchFile,   ///< a missing file in a folder that exists
    NoSuchFolder, ///< a path whose folder is missing
    IsAFolder,    ///< a folder opened as a file
};
std::string faultText(Fault fault);

/// Makes link point at target (a folder when folder is true). False where this process may not
/// make links (Windows without the privilege or developer mode); elsewhere a failure throws.
bool makeLink(const std::string& target, const std::string& link, bool folder = false);

/// True when path is a link itself (a symbolic link or, on Windows, any reparse point).
bool isLink(const std::string& path);

} // namespace zendrow::test

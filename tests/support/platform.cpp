#include "tests/support/platform.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>

#include "engine/windows_text.h"
#endif

#include "engine/utf8_path.h"

namespace zendrow::test {

#ifdef _WIN32

std::string faultText(Fault fault) {
    switch (fault) {
    case Fault::NoSuchFile:
        return windowsErrorText(ERROR_FILE_NOT_FOUND);
    case Fault::NoSuchFolder:
        return windowsErrorText(ERROR_PATH_NOT_FOUND);
    case Fault::IsAFolder:
        return "Is a directory";
    }
    return {};
}

bool makeLink(const std::string& target, const std::string& link, bool folder) {
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (folder)
        flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    // Wine answers yes and makes nothing: only a link that is there counts.
    return ::CreateSymbolicLinkW(pathFromUtf8(link).c_str(), pathFromUtf8(target).c_str(), flags) && isLink(link);
}

bool isLink(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(pathFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

#else

std::string faultText(Fault fault) {
    switch (fault) {
    case Fault::NoSuchFile:
    case Fault::NoSuchFolder:
        return "No such file or directory";
    case Fault::IsAFolder:
        return "Is a directory";
    }
    return {};
}

bool makeLink(const std::string& target, const std::string& link, bool folder) {
    if (folder)
        std::filesystem::create_directory_symlink(target, link);
    else
        std::filesystem::create_symlink(target, link);
    return true;
}

bool isLink(const std::string& path) {
    return std::filesystem::is_symlink(path);
}

#endif

} // namespace zendrow::test

#include "engine/file_system.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

#include "engine/utf8_path.h"

namespace zendrow {

namespace {

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

bool DiskFileSystem::listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) {
    entries.clear();
    std::error_code code;
    std::filesystem::directory_iterator it(pathFromUtf8(folder), code), end;
    for (; !code && it != end; it.increment(code)) {
        std::error_code statCode;
        entries.push_back({utf8FromPath(it->path().filename()), it->is_regular_file(statCode), isHidden(*it)});
    }
    if (code) {
        error = code.message();
        return false;
    }
    return true;
}

} // namespace zendrow

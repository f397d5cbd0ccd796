#include "engine/file_system.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#endif

#include "engine/utf8_path.h"

namespace zendrow {

#ifdef _WIN32
namespace {

bool isHidden(const std::filesystem::directory_entry& entry) {
    // On Windows the file's attributes hide it, as Explorer does; system files stay out too.
    const DWORD attributes = ::GetFileAttributesW(entry.path().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
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
#else
// readdir straight, not std::filesystem: no path is built per entry, which a folder of 100,000
// files notices. The entry's type spares a stat; links, and file systems that give no type, are
// looked up, following a link as is_regular_file does.
bool DiskFileSystem::listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) {
    entries.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        error = std::generic_category().message(errno);
        return false;
    }
    const int fd = ::dirfd(dir);
    int readError = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            readError = errno;
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat status;
            regular = ::fstatat(fd, name, &status, 0) == 0 && S_ISREG(status.st_mode);
        }
        // On Linux and macOS a leading dot is what hides a file.
        entries.push_back({std::string(name), regular, name[0] == '.'});
    }
    ::closedir(dir);
    if (readError != 0) {
        entries.clear();
        error = std::generic_category().message(readError);
        return false;
    }
    return true;
}
#endif

} // namespace zendrow

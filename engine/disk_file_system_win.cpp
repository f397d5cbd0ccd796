#include "engine/file_system.h"

#include <algorithm>
#include <filesystem>
#include <random>

#include <windows.h>

#include "engine/chunked_copy.h"
#include "engine/utf8_path.h"
#include "engine/windows_text.h"

namespace zendrow {

namespace {

// The wide form of path for the Windows calls; a name that is not valid UTF-8 is refused rather
// than turned into some other name.
bool widePath(const std::string& path, std::wstring& wide, std::string& error) {
    if (wideFromUtf8(path, wide))
        return true;
    error = windowsErrorText(ERROR_NO_UNICODE_TRANSLATION);
    return false;
}

std::string lastErrorText() {
    return windowsErrorText(::GetLastError());
}

// Windows takes names of up to 255 UTF-16 units, but the disk behind it may hold fewer: a Linux
// file system under Wine holds 255 bytes of UTF-8 and cuts a longer name short, so the file would
// get another name than the one reported. A name new to the disk is kept within both limits.
bool nameFitsEveryDisk(const std::string& path, std::string& error) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t nameLength = path.size() - (slash == std::string::npos ? 0 : slash + 1);
    if (nameLength <= kMaxNameBytes)
        return true;
    error = windowsErrorText(ERROR_FILENAME_EXCED_RANGE);
    return false;
}

class HandleFile {
public:
    explicit HandleFile(HANDLE handle) : m_handle(handle) {}
    HandleFile(const HandleFile&) = delete;
    HandleFile& operator=(const HandleFile&) = delete;
    ~HandleFile() {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    HANDLE handle() const { return m_handle; }
    bool closeNow(std::string& error) {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        if (!::CloseHandle(handle)) {
            error = lastErrorText();
            return false;
        }
        return true;
    }

private:
    HANDLE m_handle;
};

class WinInputFile : public InputFile, public HandleFile {
public:
    using HandleFile::HandleFile;
    std::int64_t readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::string& error) override {
        // The offset goes with the call, so reads never depend on a shared file position.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(handle(), buffer.data(), want, &got, &at)) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_HANDLE_EOF)
                return 0;
            error = windowsErrorText(code);
            return -1;
        }
        return got;
    }
    bool size(std::uint64_t& size, std::string& error) override {
        LARGE_INTEGER value{};
        if (!::GetFileSizeEx(handle(), &value)) {
            error = lastErrorText();
            return false;
        }
        size = static_cast<std::uint64_t>(value.QuadPart);
        return true;
    }
};

// Marks the file behind handle for deletion when its last handle closes, or takes that mark off.
bool setDeleteOnClose(HANDLE handle, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// A temporary being written under a unique hidden name of ours. Until it is published it is marked
// for deletion, so that closing its handle, as the system does when the process ends in any way,
// removes the file itself (not whatever has the name by then). FILE_FLAG_DELETE_ON_CLOSE would do
// the same but cannot be taken back at publishing; the deletion mark can.
class WinOutputFile : public OutputFile, public HandleFile {
public:
    WinOutputFile(HANDLE handle, std::string temporaryPath)
        : HandleFile(handle), m_temporaryPath(std::move(temporaryPath)) {}

    bool publish(const std::string& path, std::string& error) {
        std::wstring wideFrom, wideTo;
        if (!widePath(m_temporaryPath, wideFrom, error) || !widePath(path, wideTo, error) ||
            !nameFitsEveryDisk(path, error))
            return false;
        FILE_BASIC_INFO basic{};
        if (!::GetFileInformationByHandleEx(handle(), FileBasicInfo, &basic, sizeof basic)) {
            error = lastErrorText();
            return false;
        }
        basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN);
        if (basic.FileAttributes == 0)
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!::SetFileInformationByHandle(handle(), FileBasicInfo, &basic, sizeof basic) ||
            !setDeleteOnClose(handle(), false)) {
            error = lastErrorText();
            setDeleteOnClose(handle(), true);
            return false;
        }
        // Without MOVEFILE_REPLACE_EXISTING the move fails when anything is at the new name.
        if (!::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), 0)) {
            error = lastErrorText();
            setDeleteOnClose(handle(), true);
            return false;
        }
        std::string ignored; // the bytes are in the file already; closing adds nothing to them
        closeNow(ignored);
        return true;
    }

private:
    std::string m_temporaryPath;
};

bool writeAll(HANDLE handle, const std::uint8_t* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(handle, data, want, &put, nullptr)) {
            error = lastErrorText();
            return false;
        }
        if (put == 0) {
            error = windowsErrorText(ERROR_WRITE_FAULT);
            return false;
        }
        data += put;
        size -= put;
    }
    return true;
}

// path inside folder, with one separator between them.
std::string joinFolder(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    const char last = folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + '\\' + name;
}

// The identity of the file behind handle: volume and file index, as a device and inode are on POSIX.
bool fileIdentity(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
    return ::GetFileInformationByHandle(handle, &info) != 0;
}

} // namespace

std::unique_ptr<InputFile> DiskFileSystem::openForReading(const std::string& path, std::string& error) {
    std::wstring wide;
    if (!widePath(path, wide, error))
        return nullptr;
    // Others may read the source meanwhile, but nobody may change it while the run holds it open.
    const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        // Windows refuses a folder as "access denied", and has no message of its own for it
        // everywhere; say what POSIX says.
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY))
            error = "Is a directory";
        else
            error = windowsErrorText(code);
        return nullptr;
    }
    auto file = std::make_unique<WinInputFile>(handle);
    // Devices (NUL, CON, COM1) and pipes open like files; only a file on a disk has a length.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        error = kNotARegularFile;
        return nullptr;
    }
    return file;
}

FileSystem::EntryType DiskFileSystem::entryType(const std::string& path) {
    std::wstring wide;
    std::string ignored;
    if (!widePath(path, wide, ignored))
        return EntryType::None;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryType::None;
    // A link or junction is not followed: even one to a folder is something to move aside.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return EntryType::Other;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::Directory : EntryType::Other;
}

bool DiskFileSystem::isDirectory(const std::string& path) {
    std::wstring wide;
    std::string ignored;
    if (!widePath(path, wide, ignored))
        return false;
    // Opening follows links, so a link to a folder counts as the folder.
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = fileIdentity(handle, info);
    ::CloseHandle(handle);
    return ok && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DiskFileSystem::isSameFile(const std::string& path, InputFile& file) {
    auto* open = dynamic_cast<WinInputFile*>(&file);
    std::wstring wide;
    std::string ignored;
    if (!open || !widePath(path, wide, ignored))
        return false;
    const HANDLE atPath =
        ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (atPath == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    const bool same = fileIdentity(atPath, a) && fileIdentity(open->handle(), b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                      a.nFileIndexLow == b.nFileIndexLow;
    ::CloseHandle(atPath);
    return same;
}

bool DiskFileSystem::identity(const std::string& path, FileIdentity& identity) {
    std::wstring wide;
    std::string ignored;
    if (!widePath(path, wide, ignored))
        return false;
    const HANDLE atPath =
        ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (atPath == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = fileIdentity(atPath, info);
    ::CloseHandle(atPath);
    if (known)
        identity = {info.dwVolumeSerialNumber,
                    (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return known;
}

bool DiskFileSystem::renameNoReplace(const std::string& from, const std::string& to, std::string& error) {
    std::wstring wideFrom, wideTo;
    if (!widePath(from, wideFrom, error) || !widePath(to, wideTo, error) || !nameFitsEveryDisk(to, error))
        return false;
    // Without MOVEFILE_REPLACE_EXISTING the move fails when anything is at the new name.
    if (::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), 0))
        return true;
    error = lastErrorText();
    return false;
}

void DiskFileSystem::removeStaleTemporaries(const std::string& folder) {
    if (!m_sweptFolders.insert(folder).second)
        return;
    std::wstring pattern;
    std::string ignored;
    if (!widePath(joinFolder(folder, std::string(kTemporaryPrefix) + "*" + kTemporarySuffix), pattern, ignored))
        return;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const std::uint64_t dayAgo = ticks(now) - 24ull * 60 * 60 * 10000000; // FILETIME counts 100 ns
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = utf8FromWide(found.cFileName);
        if (isTemporaryName(name) && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            ticks(found.ftLastWriteTime) < dayAgo) {
            std::wstring stale;
            if (widePath(joinFolder(folder, name), stale, ignored))
                ::DeleteFileW(stale.c_str());
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

std::unique_ptr<OutputFile> DiskFileSystem::createTemporary(const std::string& folder, std::string& error) {
    removeStaleTemporaries(folder);
    static constexpr char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    DWORD code = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && code == ERROR_FILE_EXISTS; ++attempt) {
        std::string name = kTemporaryPrefix;
        for (std::size_t i = 0; i < kTemporaryUniqueLength; ++i)
            name += kLetters[pick(random)];
        const std::string path = joinFolder(folder, name + kTemporarySuffix);
        std::wstring wide;
        if (!widePath(path, wide, error))
            return nullptr;
        // CREATE_NEW: only where nothing is. Others may read it, and the move at publishing needs
        // delete sharing; nobody else may write it.
        const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            code = ::GetLastError();
            continue;
        }
        if (!setDeleteOnClose(handle, true)) {
            code = ::GetLastError();
            ::CloseHandle(handle);
            ::DeleteFileW(wide.c_str());
            break;
        }
        return std::make_unique<WinOutputFile>(handle, path);
    }
    error = windowsErrorText(code);
    return nullptr;
}

bool DiskFileSystem::publish(OutputFile& file, const std::string& path, std::string& error) {
    return dynamic_cast<WinOutputFile&>(file).publish(path, error);
}

bool DiskFileSystem::createDirectory(const std::string& path, std::string& error) {
    std::wstring wide;
    if (!widePath(path, wide, error))
        return false;
    if (::CreateDirectoryW(wide.c_str(), nullptr))
        return true;
    error = lastErrorText();
    return false;
}

bool DiskFileSystem::createDirectories(const std::string& path, std::string& error) {
    std::wstring wide;
    if (!widePath(path, wide, error))
        return false;
    // One level at a time from the root: a level that exists as a folder (or a drive, a share) is passed.
    const std::filesystem::path whole(wide);
    std::filesystem::path prefix;
    for (const std::filesystem::path& part : whole) {
        prefix /= part;
        if (part.empty() || prefix.relative_path().empty())
            continue;
        if (::CreateDirectoryW(prefix.c_str(), nullptr))
            continue;
        const DWORD code = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(prefix.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        error = windowsErrorText(code);
        return false;
    }
    return true;
}

bool DiskFileSystem::copy(InputFile& from, std::uint64_t offset, std::uint64_t length, OutputFile& to,
                          std::string& error) {
    const HANDLE out = dynamic_cast<WinOutputFile&>(to).handle();
    return copyInChunks(
        from, offset, length,
        [out](std::span<const std::uint8_t> bytes, std::string& e) {
            return writeAll(out, bytes.data(), bytes.size(), e);
        },
        error);
}

} // namespace zendrow

#include "engine/file_system.h"

#include <algorithm>
#include <filesystem>

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
    if (nameLength <= 255)
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

class WinOutputFile : public OutputFile, public HandleFile {
public:
    using HandleFile::HandleFile;
    bool close(std::string& error) override { return closeNow(error); }
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
    return std::make_unique<WinInputFile>(handle);
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

std::unique_ptr<OutputFile> DiskFileSystem::createNew(const std::string& path, std::string& error) {
    std::wstring wide;
    if (!widePath(path, wide, error) || !nameFitsEveryDisk(path, error))
        return nullptr;
    // CREATE_NEW: fails when anything is at path, so no existing file is ever truncated.
    const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastErrorText();
        return nullptr;
    }
    return std::make_unique<WinOutputFile>(handle);
}

bool DiskFileSystem::removeFile(const std::string& path, std::string& error) {
    std::wstring wide;
    if (!widePath(path, wide, error))
        return false;
    if (::DeleteFileW(wide.c_str()))
        return true;
    error = lastErrorText();
    return false;
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

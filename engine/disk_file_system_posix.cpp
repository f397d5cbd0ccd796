#include "engine/file_system.h"

#include "engine/chunked_copy.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h> // renameat2
#include <sys/stat.h>
#include <unistd.h>

namespace zendrow {

namespace {

std::string errnoText(int code) {
    return std::strerror(code);
}

class FdFile {
public:
    explicit FdFile(int fd) : m_fd(fd) {}
    FdFile(const FdFile&) = delete;
    FdFile& operator=(const FdFile&) = delete;
    ~FdFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }
    bool closeNow(std::string& error) {
        const int fd = m_fd;
        m_fd = -1;
        if (fd >= 0 && ::close(fd) != 0) {
            error = errnoText(errno);
            return false;
        }
        return true;
    }

private:
    int m_fd;
};

class PosixInputFile : public InputFile, public FdFile {
public:
    using FdFile::FdFile;
    std::int64_t readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::string& error) override {
        ssize_t got;
        do
            got = ::pread(fd(), buffer.data(), buffer.size(), static_cast<off_t>(offset));
        while (got < 0 && errno == EINTR);
        if (got < 0)
            error = errnoText(errno);
        return got;
    }
    bool size(std::uint64_t& size, std::string& error) override {
        struct stat st {};
        if (::fstat(fd(), &st) != 0) {
            error = errnoText(errno);
            return false;
        }
        size = static_cast<std::uint64_t>(st.st_size);
        return true;
    }
};

// A temporary being written: unnamed (O_TMPFILE), or under a hidden name of ours. Until it is
// published, destroying it takes the file away: an unnamed one goes with its descriptor; a named
// one is unlinked only while its name still leads to this very file.
class PosixOutputFile : public OutputFile, public FdFile {
public:
    PosixOutputFile(int fd, std::string temporaryPath) : FdFile(fd), m_temporaryPath(std::move(temporaryPath)) {
        struct stat st {};
        if (::fstat(fd, &st) == 0)
            m_identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    }
    ~PosixOutputFile() override {
        if (m_published || m_temporaryPath.empty())
            return;
        struct stat st {};
        if (::lstat(m_temporaryPath.c_str(), &st) == 0 &&
            FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)} == m_identity)
            ::unlink(m_temporaryPath.c_str());
    }

    /// Where the next copy into this file starts: the end of what was copied so far.
    std::uint64_t end = 0;

    bool publish(const std::string& path, std::string& error) {
        if (m_temporaryPath.empty())
            return publishUnnamed(path, error);
        // Closed first, so that a late write error is known before the file has its name.
        // A failure to close is kept: every later attempt fails the same way.
        if (fd() >= 0)
            closeNow(m_closeError);
        if (!m_closeError.empty()) {
            error = m_closeError;
            return false;
        }
        if (::renameat2(AT_FDCWD, m_temporaryPath.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
            m_published = true;
            return true;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            error = errnoText(errno);
            return false;
        }
        // No atomic no-replace rename here: a hard link refuses an existing name just the same.
        if (::link(m_temporaryPath.c_str(), path.c_str()) != 0) {
            error = errnoText(errno);
            return false;
        }
        m_published = true;
        ::unlink(m_temporaryPath.c_str());
        return true;
    }

private:
    bool publishUnnamed(const std::string& path, std::string& error) {
        // linkat gives the unnamed file a name and fails if the name is taken; it never replaces.
        const std::string self = "/proc/self/fd/" + std::to_string(fd());
        int linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno == ENOENT && ::access("/proc/self/fd", X_OK) != 0)
            linked = ::linkat(fd(), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH);
        if (linked != 0) {
            error = errnoText(errno);
            return false;
        }
        m_published = true;
        std::string ignored; // the bytes are in the file already; closing adds nothing to them
        closeNow(ignored);
        return true;
    }

    std::string m_temporaryPath; ///< empty for an unnamed temporary
    FileIdentity m_identity;
    std::string m_closeError;
    bool m_published = false;
};

bool writeAllAt(int fd, const std::uint8_t* data, std::size_t size, off_t at, std::string& error) {
    while (size > 0) {
        const ssize_t put = ::pwrite(fd, data, size, at);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            error = errnoText(errno);
            return false;
        }
        data += put;
        at += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool isKernelCopyUnsupported(int code) {
    return code == EXDEV || code == ENOSYS || code == EINVAL || code == EOPNOTSUPP || code == EBADF;
}

// Copies length bytes at inOffset of in to outOffset of outFd: by the kernel while it can (no
// bytes pass through this process), else in chunks, after which kernelCopy is false for the rest.
bool copyRange(PosixInputFile& in, off_t inOffset, int outFd, off_t outOffset, std::uint64_t length, bool& kernelCopy,
               std::string& error) {
    while (length > 0 && kernelCopy) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, 1u << 30));
        const ssize_t copied = ::copy_file_range(in.fd(), &inOffset, outFd, &outOffset, want, 0);
        if (copied > 0) {
            length -= static_cast<std::uint64_t>(copied);
            continue;
        }
        if (copied == 0) {
            error = kSourceEndedEarly;
            return false;
        }
        if (errno == EINTR)
            continue;
        if (!isKernelCopyUnsupported(errno)) {
            error = errnoText(errno);
            return false;
        }
        kernelCopy = false;
    }
    if (length == 0)
        return true;
    return copyInChunks(
        in, static_cast<std::uint64_t>(inOffset), length,
        [outFd, &outOffset](std::span<const std::uint8_t> bytes, std::string& e) {
            if (!writeAllAt(outFd, bytes.data(), bytes.size(), outOffset, e))
                return false;
            outOffset += static_cast<off_t>(bytes.size());
            return true;
        },
        error);
}

// Unnamed files need the kernel's O_TMPFILE and a way to name them later (/proc/self/fd).
bool unnamedFilesCanBeNamed() {
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

std::string uniqueTemporaryName() {
    static constexpr char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string name = kTemporaryPrefix;
    for (std::size_t i = 0; i < kTemporaryUniqueLength; ++i)
        name += kLetters[pick(random)];
    return name + kTemporarySuffix;
}

} // namespace

std::unique_ptr<InputFile> DiskFileSystem::openForReading(const std::string& path, std::string& error) {
    // Without blocking: opening a pipe would otherwise wait for a writer that may never come.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int code = errno;
        struct stat st {};
        // A socket cannot be opened at all; say what it is rather than "No such device or address".
        error = code == ENXIO && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) ? kNotARegularFile
                                                                                        : errnoText(code);
        return nullptr;
    }
    auto file = std::make_unique<PosixInputFile>(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = errnoText(errno);
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        error = errnoText(EISDIR);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        error = kNotARegularFile;
        return nullptr;
    }
    if (st.st_size == 0) {
        // /proc and its kind report 0 and yet have bytes: their length cannot be known.
        std::uint8_t probe = 0;
        if (::pread(fd, &probe, 1, 0) > 0) {
            error = kNotARegularFile;
            return nullptr;
        }
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = errnoText(errno);
        return nullptr;
    }
    return file;
}

FileSystem::EntryType DiskFileSystem::entryType(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return EntryType::None;
    return S_ISDIR(st.st_mode) ? EntryType::Directory : EntryType::Other;
}

bool DiskFileSystem::isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DiskFileSystem::isSameFile(const std::string& path, InputFile& file) {
    auto* posix = dynamic_cast<PosixInputFile*>(&file);
    struct stat atPath {
    }, open{};
    return posix && ::lstat(path.c_str(), &atPath) == 0 && ::fstat(posix->fd(), &open) == 0 &&
           atPath.st_dev == open.st_dev && atPath.st_ino == open.st_ino;
}

bool DiskFileSystem::identity(const std::string& path, FileIdentity& identity) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

bool DiskFileSystem::renameNoReplace(const std::string& from, const std::string& to, std::string& error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) {
        error = errnoText(errno);
        return false;
    }
    // The file system has no atomic no-replace rename: a hard link refuses an existing target just
    // the same, and the old name goes only once the new one holds the file.
    if (::link(from.c_str(), to.c_str()) != 0) {
        error = errnoText(errno);
        return false;
    }
    if (::unlink(from.c_str()) != 0) {
        error = errnoText(errno);
        ::unlink(to.c_str());
        return false;
    }
    return true;
}

void DiskFileSystem::removeStaleTemporaries(const std::string& folder) {
    if (!m_sweptFolders.insert(folder).second)
        return;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const std::time_t dayAgo = std::time(nullptr) - 24 * 60 * 60;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTemporaryName(entry->d_name))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_mtime < dayAgo)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

std::unique_ptr<OutputFile> DiskFileSystem::createTemporary(const std::string& folder, std::string& error) {
    removeStaleTemporaries(folder);
    const std::string where = folder.empty() ? "." : folder;
    if (m_unnamedTemporaries && unnamedFilesCanBeNamed()) {
        const int fd = ::open(where.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0)
            return std::make_unique<PosixOutputFile>(fd, std::string());
        // Older kernels and some file systems have no unnamed files: the named way below.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error = errnoText(errno);
            return nullptr;
        }
    }
    const std::string prefix = where.back() == '/' ? where : where + '/';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = prefix + uniqueTemporaryName();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0)
            return std::make_unique<PosixOutputFile>(fd, path);
        if (errno != EEXIST)
            break;
    }
    error = errnoText(errno);
    return nullptr;
}

bool DiskFileSystem::publish(OutputFile& file, const std::string& path, std::string& error) {
    return dynamic_cast<PosixOutputFile&>(file).publish(path, error);
}

bool DiskFileSystem::createDirectory(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    error = errnoText(errno);
    return false;
}

bool DiskFileSystem::createDirectories(const std::string& path, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code) {
        error = code.message();
        return false;
    }
    return true;
}

bool DiskFileSystem::copy(InputFile& from, std::uint64_t offset, std::uint64_t length, OutputFile& to,
                          std::string& error) {
    auto& in = dynamic_cast<PosixInputFile&>(from);
    auto& out = dynamic_cast<PosixOutputFile&>(to);
    const int outFd = out.fd();
    const auto start = static_cast<off_t>(offset);
    const auto outStart = static_cast<off_t>(out.end);
    const auto end = static_cast<off_t>(offset + length);
    bool kernelCopy = true;
    bool holesKnown = true;
    off_t at = start;
    off_t written = start; // the end of the data copied so far
    // Only the source's data is copied; its holes are skipped, so they stay holes in the output.
    while (at < end) {
        off_t dataStart = at;
        off_t dataEnd = end;
        if (holesKnown) {
            const off_t data = ::lseek(in.fd(), at, SEEK_DATA);
            if (data < 0 && errno == ENXIO)
                break; // nothing but a hole from here on
            if (data < 0) {
                holesKnown = false; // the file system cannot tell: everything is data
            } else {
                dataStart = std::min(data, end);
                const off_t hole = ::lseek(in.fd(), dataStart, SEEK_HOLE);
                dataEnd = hole < 0 ? end : std::min(hole, end);
            }
        }
        if (dataStart >= end)
            break;
        if (!copyRange(in, dataStart, outFd, outStart + (dataStart - start),
                       static_cast<std::uint64_t>(dataEnd - dataStart), kernelCopy, error))
            return false;
        at = written = dataEnd;
    }
    if (written == end) {
        out.end += length;
        return true;
    }
    // A trailing hole: the source must still reach the module's end, and the output gets its length.
    struct stat st {};
    if (::fstat(in.fd(), &st) != 0) {
        error = errnoText(errno);
        return false;
    }
    if (st.st_size < end) {
        error = kSourceEndedEarly;
        return false;
    }
    if (::ftruncate(outFd, outStart + (end - start)) != 0) {
        error = errnoText(errno);
        return false;
    }
    out.end += length;
    return true;
}

} // namespace zendrow

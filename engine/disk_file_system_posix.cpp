#include "engine/file_system.h"

#include "engine/chunked_copy.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

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
        if (::close(fd) != 0) {
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

class PosixOutputFile : public OutputFile, public FdFile {
public:
    using FdFile::FdFile;
    bool close(std::string& error) override { return closeNow(error); }
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            error = errnoText(errno);
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace

std::unique_ptr<InputFile> DiskFileSystem::openForReading(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errnoText(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = errnoText(EISDIR);
        return nullptr;
    }
    return std::make_unique<PosixInputFile>(fd);
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

std::unique_ptr<OutputFile> DiskFileSystem::createNew(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = errnoText(errno);
        return nullptr;
    }
    return std::make_unique<PosixOutputFile>(fd);
}

bool DiskFileSystem::removeFile(const std::string& path, std::string& error) {
    if (::unlink(path.c_str()) == 0)
        return true;
    error = errnoText(errno);
    return false;
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
    const int outFd = dynamic_cast<PosixOutputFile&>(to).fd();
    // The kernel's file-to-file copy: no bytes pass through this process at all.
    auto inOffset = static_cast<off_t>(offset);
    while (length > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, 1u << 30));
        const ssize_t copied = ::copy_file_range(in.fd(), &inOffset, outFd, nullptr, want, 0);
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
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF)
            return copyInChunks(
                in, static_cast<std::uint64_t>(inOffset), length,
                [outFd](std::span<const std::uint8_t> bytes, std::string& e) {
                    return writeAll(outFd, bytes.data(), bytes.size(), e);
                },
                error);
        error = errnoText(errno);
        return false;
    }
    return true;
}

} // namespace zendrow

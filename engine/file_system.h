#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zendrow {

/// A source file opened for reading.
class InputFile {
public:
    virtual ~InputFile() = default;
    /// Reads up to buffer.size() bytes from offset; returns the count (0 at the end) or -1 with error set.
    virtual std::int64_t readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::string& error) = 0;
    virtual bool size(std::uint64_t& size, std::string& error) = 0;
};

/// An output file that this run created.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    /// Closes the file; a failure here means its bytes may not have reached the disk.
    virtual bool close(std::string& error) = 0;
};

/// Every effect the engine has on the file system goes through here, so that tests can make any
/// step fail (a full disk after N bytes, a rename that is refused) without a real faulty disk.
class FileSystem {
public:
    enum class EntryType { None, Directory, Other };

    /// One entry of a folder, as a listing shows it.
    struct FolderEntry {
        std::string name;
        bool regularFile = false; ///< a plain file, or a link to one
        bool hidden = false;      ///< hidden the platform's way: a leading dot, or the hidden or system attribute
    };

    virtual ~FileSystem() = default;

    virtual std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) = 0;
    /// What is at path, without following a link there: a link counts as Other.
    virtual EntryType entryType(const std::string& path) = 0;
    /// True when path is a folder, or a link to one.
    virtual bool isDirectory(const std::string& path) = 0;
    /// True when path names the very file that is open as file.
    virtual bool isSameFile(const std::string& path, InputFile& file) = 0;
    /// Renames from to to; never replaces anything that exists at to.
    virtual bool renameNoReplace(const std::string& from, const std::string& to, std::string& error) = 0;
    /// Creates a new file; fails when anything (a file, a folder, a link) exists at path.
    virtual std::unique_ptr<OutputFile> createNew(const std::string& path, std::string& error) = 0;
    virtual bool removeFile(const std::string& path, std::string& error) = 0;
    /// Creates one folder; its parent must exist.
    virtual bool createDirectory(const std::string& path, std::string& error) = 0;
    /// Creates a folder together with any missing parents.
    virtual bool createDirectories(const std::string& path, std::string& error) = 0;
    /// The entries of folder, "." and ".." left out, in no particular order. False with error set
    /// when the folder cannot be read.
    virtual bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) = 0;
    /// Appends exactly length bytes of from, starting at offset, to to. A source that ends early fails.
    virtual bool copy(InputFile& from, std::uint64_t offset, std::uint64_t length, OutputFile& to,
                      std::string& error) = 0;
};

/// The real disk, through the platform's own calls.
class DiskFileSystem : public FileSystem {
public:
    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) override;
    EntryType entryType(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    bool isSameFile(const std::string& path, InputFile& file) override;
    bool renameNoReplace(const std::string& from, const std::string& to, std::string& error) override;
    std::unique_ptr<OutputFile> createNew(const std::string& path, std::string& error) override;
    bool removeFile(const std::string& path, std::string& error) override;
    bool createDirectory(const std::string& path, std::string& error) override;
    bool createDirectories(const std::string& path, std::string& error) override;
    bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) override;
    bool copy(InputFile& from, std::uint64_t offset, std::uint64_t length, OutputFile& to, std::string& error) override;
};

} // namespace zendrow

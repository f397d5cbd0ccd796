#pragma once

#include <cstdint>
#include <compare>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zendrow {

/// Said of a source that is a pipe, a socket, a device or anything else without a known length.
inline constexpr const char* kNotARegularFile = "not a regular file";

/// A source file opened for reading.
class InputFile {
public:
    virtual ~InputFile() = default;
    /// Reads up to buffer.size() bytes from offset; returns the count (0 at the end) or -1 with error set.
    virtual std::int64_t readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::string& error) = 0;
    virtual bool size(std::uint64_t& size, std::string& error) = 0;
};

/// A file that this run is writing beside its final name (see FileSystem::createTemporary).
/// Destroying it before it is published removes it: the file itself, never a name.
class OutputFile {
public:
    virtual ~OutputFile() = default;
};

/// Who a directory entry is: equal identities are one file, whatever the names.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
    auto operator<=>(const FileIdentity&) const = default;
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

    /// Opens a regular file for reading without ever waiting for a writer; anything else (a pipe,
    /// a socket, a device, a file whose length the system cannot tell) fails with "not a regular file".
    virtual std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) = 0;
    /// What is at path, without following a link there: a link counts as Other.
    virtual EntryType entryType(const std::string& path) = 0;
    /// True when path is a folder, or a link to one.
    virtual bool isDirectory(const std::string& path) = 0;
    /// True when path names the very file that is open as file.
    virtual bool isSameFile(const std::string& path, InputFile& file) = 0;
    /// The identity of the entry at path, without following a link there; false when nothing is there.
    virtual bool identity(const std::string& path, FileIdentity& identity) = 0;
    /// Renames from to to; never replaces anything that exists at to.
    virtual bool renameNoReplace(const std::string& from, const std::string& to, std::string& error) = 0;
    /// Creates a file in folder that no final name leads to yet: unnamed where the system allows it,
    /// else under a unique hidden name of ours. Whatever is killed, at most such a file is left, and
    /// one of ours older than a day is removed when a later run first creates one in that folder.
    virtual std::unique_ptr<OutputFile> createTemporary(const std::string& folder, std::string& error) = 0;
    /// Gives a complete temporary its final name path in its folder, in one step; fails when anything
    /// (a file, a folder, a link) is at path, which is never replaced. After a failure the file is
    /// still unpublished and may be published under another name.
    virtual bool publish(OutputFile& file, const std::string& path, std::string& error) = 0;
    /// Creates one folder; its parent must exist.
    virtual bool createDirectory(const std::string& path, std::string& error) = 0;
    /// Creates a folder together with any missing parents.
    virtual bool createDirectories(const std::string& path, std::string& error) = 0;
    /// The entries of folder, "." and ".." left out, in no particular order. False with error set
    /// when the folder cannot be read.
    virtual bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) = 0;
    /// Writes exactly length bytes of from, starting at offset, into the temporary to, after what
    /// earlier copies into it wrote (a long module is copied piece by piece); holes of the source
    /// stay holes where the disk keeps them. A source that ends early fails.
    virtual bool copy(InputFile& from, std::uint64_t offset, std::uint64_t length, OutputFile& to,
                      std::string& error) = 0;
};

/// The real disk, through the platform's own calls.
class DiskFileSystem : public FileSystem {
public:
    /// With unnamedTemporaries false, temporaries are always named hidden files, as on a disk that
    /// has no unnamed files (the tests take that path on purpose).
    explicit DiskFileSystem(bool unnamedTemporaries = true) : m_unnamedTemporaries(unnamedTemporaries) {}

    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) override;
    EntryType entryType(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    bool isSameFile(const std::string& path, InputFile& file) override;
    bool renameNoReplace(const std::string& from, const std::string& to, std::string& error) override;
    bool identity(const std::string& path, FileIdentity& identity) override;
    std::unique_ptr<OutputFile> createTemporary(const std::string& folder, std::string& error) override;
    bool publish(OutputFile& file, const std::string& path, std::string& error) override;
    bool createDirectory(const std::string& path, std::string& error) override;
    bool createDirectories(const std::string& path, std::string& error) override;
    bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) override;
    bool copy(InputFile& from, std::uint64_t offset, std::uint64_t length, OutputFile& to, std::string& error) override;

private:
    void removeStaleTemporaries(const std::string& folder);

    bool m_unnamedTemporaries;
    std::set<std::string> m_sweptFolders; ///< folders already cleared of stale temporaries
};

/// The longest file name, in bytes of UTF-8, that every disk Zendrow writes to takes: Linux's
/// NAME_MAX, and on Windows the bytes a Linux disk under Wine holds (see the Windows disk layer).
inline constexpr std::size_t kMaxNameBytes = 255;

/// Temporaries of ours are named kTemporaryPrefix + six letters or digits + kTemporarySuffix.
inline constexpr const char* kTemporaryPrefix = ".zendrow-";
inline constexpr const char* kTemporarySuffix = ".tmp";
inline constexpr std::size_t kTemporaryUniqueLength = 6;
/// True when name (without a folder) has the form of one of our temporaries.
inline bool isTemporaryName(std::string_view name) {
    const std::string_view prefix = kTemporaryPrefix, suffix = kTemporarySuffix;
    if (name.size() != prefix.size() + kTemporaryUniqueLength + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix))
        return false;
    for (const char c : name.substr(prefix.size(), kTemporaryUniqueLength))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    return true;
}

} // namespace zendrow

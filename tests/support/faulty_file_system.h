#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/file_system.h"

namespace zendrow::test {

/// The real disk, with faults on demand: a copy that stops after N bytes as a full disk does,
/// and renames, temporaries or publishing that are refused. Everything else goes through unchanged.
class FaultyFileSystem : public FileSystem {
public:
    /// unnamedTemporaries as for DiskFileSystem: false writes through named hidden temporaries.
    explicit FaultyFileSystem(bool unnamedTemporaries = true) : m_disk(unnamedTemporaries) {}

    std::optional<std::uint64_t> failCopyAfter; ///< bytes written before "No space left on device"
    std::function<bool(const std::string& folder)> refuseTemporary;
    std::function<bool(const std::string& path)> refusePublish;
    std::function<bool(const std::string& from, const std::string& to)> refuseRename;
    std::function<void()> beforeCopy; ///< runs just before a module is copied: the source may change
    std::function<void(const std::string& path)> beforePublish; ///< another program may take the name
    int opened = 0;                                              ///< how many files were opened for reading

    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) override {
        ++opened;
        return m_disk.openForReading(path, error);
    }
    EntryType entryType(const std::string& path) override { return m_disk.entryType(path); }
    bool isDirectory(const std::string& path) override { return m_disk.isDirectory(path); }
    bool isSameFile(const std::string& path, InputFile& file) override { return m_disk.isSameFile(path, file); }
    bool identity(const std::string& path, FileIdentity& identity) override { return m_disk.identity(path, identity); }
    bool renameNoReplace(const std::string& from, const std::string& to, std::string& error) override {
        if (refuseRename && refuseRename(from, to)) {
            error = "Operation not permitted";
            return false;
        }
        return m_disk.renameNoReplace(from, to, error);
    }
    std::unique_ptr<OutputFile> createTemporary(const std::string& folder, std::string& error) override {
        if (refuseTemporary && refuseTemporary(folder)) {
            error = "Permission denied";
            return nullptr;
        }
        return m_disk.createTemporary(folder, error);
    }
    bool publish(OutputFile& file, const std::string& path, std::string& error) override {
        if (beforePublish)
            beforePublish(path);
        if (refusePublish && refusePublish(path)) {
            error = "Permission denied";
            return false;
        }
        return m_disk.publish(file, path, error);
    }
    bool createDirectory(const std::string& path, std::string& error) override {
        return m_disk.createDirectory(path, error);
    }
    bool createDirectories(const std::string& path, std::string& error) override {
        return m_disk.createDirectories(path, error);
    }
    bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error) override {
        return m_disk.listFolder(folder, entries, error);
    }
    bool copy(InputFile& from, std::uint64_t offset, std::uint64_t length, OutputFile& to,
              std::string& error) override {
        if (beforeCopy)
            beforeCopy();
        if (!failCopyAfter || *failCopyAfter >= length)
            return m_disk.copy(from, offset, length, to, error);
        if (!m_disk.copy(from, offset, *failCopyAfter, to, error))
            return false;
        error = "No space left on device";
        return false;
    }

private:
    DiskFileSystem m_disk;
};

} // namespace zendrow::test

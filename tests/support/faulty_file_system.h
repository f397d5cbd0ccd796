#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/file_system.h"

namespace zendrow::test {

/// The real disk, with faults on demand: a copy that stops after N bytes as a full disk does,
/// and renames or creations that are refused. Everything else goes through unchanged.
class FaultyFileSystem : public FileSystem {
public:
    std::optional<std::uint64_t> failCopyAfter; ///< bytes written before "No space left on device"
    std::function<bool(const std::string& path)> refuseCreate;
    std::function<bool(const std::string& from, const std::string& to)> refuseRename;
    std::function<void()> beforeCopy; ///< runs just before a module is copied: the source may change
    int opened = 0;                   ///< how many files were opened for reading

    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) override {
        ++opened;
        return m_disk.openForReading(path, error);
    }
    EntryType entryType(const std::string& path) override { return m_disk.entryType(path); }
    bool isDirectory(const std::string& path) override { return m_disk.isDirectory(path); }
    bool isSameFile(const std::string& path, InputFile& file) override { return m_disk.isSameFile(path, file); }
    bool renameNoReplace(const std::string& from, const std::string& to, std::string& error) override {
        if (refuseRename && refuseRename(from, to)) {
            error = "Operation not permitted";
            return false;
        }
        return m_disk.renameNoReplace(from, to, error);
    }
    std::unique_ptr<OutputFile> createNew(const std::string& path, std::string& error) override {
        if (refuseCreate && refuseCreate(path)) {
            error = "Permission denied";
            return nullptr;
        }
        return m_disk.createNew(path, error);
    }
    bool removeFile(const std::string& path, std::string& error) override { return m_disk.removeFile(path, error); }
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

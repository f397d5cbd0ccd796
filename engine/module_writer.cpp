#include "engine/module_writer.h"

#include <memory>

namespace zendrow {

struct ModuleWriter::Created {
    std::unique_ptr<OutputFile> file;
    std::string movedAsideTo; ///< the ".old" name of the file that was in the way, if any
};

bool ModuleWriter::create(InputFile& source, const std::string& path, Created& created, std::string& reason) {
    if (m_fs.isSameFile(path, source)) {
        reason = "\"" + path + "\" is the source file itself";
        return false;
    }
    std::string error;
    if (m_fs.entryType(path) == FileSystem::EntryType::Other) {
        const std::string backup = path + ".old";
        if (!m_fs.renameNoReplace(path, backup, error)) {
            reason = "cannot move \"" + path + "\" aside to \"" + backup + "\": " + error;
            return false;
        }
        created.movedAsideTo = backup;
    }
    created.file = m_fs.createNew(path, error);
    if (!created.file) {
        reason = "cannot create \"" + path + "\": " + error;
        if (!created.movedAsideTo.empty()) {
            std::string ignored;
            m_fs.renameNoReplace(created.movedAsideTo, path, ignored);
            created.movedAsideTo.clear();
        }
        return false;
    }
    return true;
}

WriteResult ModuleWriter::write(InputFile& source, const LocateResult& located, const std::string& title,
                                const std::string& itemName, NamingRule rule, const std::string& destination) {
    WriteResult result;
    std::uint64_t sourceSize = 0;
    if (!source.size(sourceSize, result.reason)) {
        result.reason = "cannot read the source file: " + result.reason;
        return result;
    }
    if (sourceSize < located.start) {
        result.reason = "the source file became shorter while it was read";
        return result;
    }
    const std::uint64_t moduleSize = sourceSize - located.start;

    const std::string sourceName = nameFromSource(itemName, located.kind);
    std::optional<std::string> titleName;
    if (rule == NamingRule::Original)
        titleName = nameFromTitle(title, located.kind);

    Created created;
    std::string path;
    bool ok = false;
    if (titleName) {
        path = joinPath(destination, *titleName);
        ok = create(source, path, created, result.reason);
    }
    if (!ok) {
        path = joinPath(destination, sourceName);
        ok = create(source, path, created, result.reason);
    }
    if (!ok)
        return result;

    std::string error;
    bool copied = m_fs.copy(source, located.start, moduleSize, *created.file, error);
    std::string closeError;
    if (!created.file->close(closeError) && copied) {
        copied = false;
        error = closeError;
    }
    created.file.reset();
    if (!copied) {
        result.reason = "cannot write \"" + path + "\": " + error;
        std::string ignored;
        m_fs.removeFile(path, ignored);
        if (!created.movedAsideTo.empty())
            m_fs.renameNoReplace(created.movedAsideTo, path, ignored);
        return result;
    }
    result.written = true;
    result.outputPath = path;
    result.reason.clear();
    return result;
}

} // namespace zendrow

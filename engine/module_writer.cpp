#include "engine/module_writer.h"

#include <memory>
#include <vector>

namespace zendrow {

bool ModuleWriter::publishAt(InputFile& source, OutputFile& file, const std::string& path, std::string& reason) {
    std::string error;
    std::string movedAsideTo;
    switch (m_fs.entryType(path)) {
    case FileSystem::EntryType::None:
    case FileSystem::EntryType::Directory: // never moved aside: publishing there fails
        break;
    case FileSystem::EntryType::Other: {
        if (m_fs.isSameFile(path, source)) {
            reason = "\"" + path + "\" is the source file itself";
            return false;
        }
        if (m_isRunSource && m_isRunSource(path)) {
            reason = "\"" + path + "\" is one of the files being converted";
            return false;
        }
        const std::string backup = path + ".old";
        if (!m_fs.renameNoReplace(path, backup, error)) {
            reason = "cannot move \"" + path + "\" aside to \"" + backup + "\": " + error;
            return false;
        }
        movedAsideTo = backup;
        break;
    }
    }
    if (m_fs.publish(file, path, error))
        return true;
    reason = "cannot create \"" + path + "\": " + error;
    if (!movedAsideTo.empty()) {
        // Someone took the name meanwhile, or it was refused: the file moved aside goes back if it can,
        // and otherwise stays whole under its ".old" name.
        std::string ignored;
        m_fs.renameNoReplace(movedAsideTo, path, ignored);
    }
    return false;
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

    std::vector<std::string> paths;
    if (rule == NamingRule::Original)
        if (const std::optional<std::string> titleName = nameFromTitle(title, located.kind))
            paths.push_back(joinPath(destination, *titleName));
    paths.push_back(joinPath(destination, nameFromSource(itemName, located.kind)));

    std::string error;
    const std::unique_ptr<OutputFile> file = m_fs.createTemporary(destination, error);
    if (!file) {
        result.reason = "cannot create a file in \"" + destination + "\": " + error;
        return result;
    }
    if (!m_fs.copy(source, located.start, moduleSize, *file, error)) {
        result.reason = "cannot write \"" + paths.front() + "\": " + error;
        return result;
    }
    for (const std::string& path : paths) {
        if (publishAt(source, *file, path, result.reason)) {
            result.written = true;
            result.outputPath = path;
            result.reason.clear();
            return result;
        }
    }
    return result;
}

} // namespace zendrow

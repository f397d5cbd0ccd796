#include "engine/module_writer.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/ascii_text.h"

namespace zendrow {

namespace {

// Long modules are copied in pieces, so that a stop is heard within a second or so.
constexpr std::uint64_t kCopyPiece = std::uint64_t{64} << 20;
// Past this many numbers, the name is taken as unusable rather than searched further.
constexpr int kMaxNumber = 10000;

std::vector<std::string> candidateNames(const ModuleToWrite& module, const std::string& itemName, NamingRule rule) {
    std::vector<std::string> names;
    if (rule == NamingRule::Original)
        if (const std::optional<std::string> titleName = nameFromTitle(module.title, module.kind))
            names.push_back(*titleName);
    names.push_back(nameFromSource(itemName, module.kind));
    return names;
}

// A listing does not try names on the disk, so it leaves out those no disk would take, as the
// real run's publishing would fail on them.
bool nameTooLong(const std::string& path) {
    const auto slash = std::find_if(path.rbegin(), path.rend(), isPathSeparator);
    return static_cast<std::size_t>(slash - path.rbegin()) > kMaxNameBytes;
}

} // namespace

std::string numberedName(const std::string& name, ModuleKind kind, int number) {
    if (number <= 1)
        return name;
    const std::string_view extension = extensionOf(kind);
    const std::size_t stemLength =
        name.size() >= extension.size() && name.ends_with(extension) ? name.size() - extension.size() : name.size();
    return name.substr(0, stemLength) + " (" + std::to_string(number) + ")" + name.substr(stemLength);
}

bool ModuleWriter::isTaken(const std::string& path) {
    return m_planned.contains(path) || m_fs.entryType(path) != FileSystem::EntryType::None;
}

std::optional<std::string> ModuleWriter::mustStay(InputFile& source, const std::string& path) {
    if (m_fs.isSameFile(path, source))
        return "\"" + path + "\" is the source file itself";
    if (m_isRunSource && m_isRunSource(path))
        return "\"" + path + "\" is one of the files being converted";
    return std::nullopt;
}

bool ModuleWriter::publishAt(InputFile& source, OutputFile& file, const std::string& path, std::string& reason) {
    std::string error;
    std::string movedAsideTo;
    switch (m_fs.entryType(path)) {
    case FileSystem::EntryType::None:
    case FileSystem::EntryType::Directory: // never moved aside: publishing there fails
        break;
    case FileSystem::EntryType::Other: {
        if (const std::optional<std::string> why = mustStay(source, path)) {
            reason = *why;
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

bool ModuleWriter::publishNumbered(OutputFile& file, const std::string& firstPath, ModuleKind kind, std::string& path,
                                   std::string& reason) {
    for (int number = 1; number <= kMaxNumber; ++number) {
        path = numberedName(firstPath, kind, number);
        if (isTaken(path))
            continue;
        std::string error;
        if (m_fs.publish(file, path, error))
            return true;
        // Another program took the name between the look and the publishing: the next number.
        if (m_fs.entryType(path) != FileSystem::EntryType::None)
            continue;
        reason = "cannot create \"" + path + "\": " + error;
        return false;
    }
    reason = "no free name is left after \"" + numberedName(firstPath, kind, kMaxNumber) + "\"";
    return false;
}

bool ModuleWriter::moduleLength(InputFile& source, const ModuleToWrite& module, std::uint64_t& length,
                                std::string& reason) {
    std::uint64_t sourceSize = 0;
    if (!source.size(sourceSize, reason)) {
        reason = "cannot read the source file: " + reason;
        return false;
    }
    const std::uint64_t end = module.length ? module.offset + *module.length : sourceSize;
    if (sourceSize < end || sourceSize < module.offset) {
        reason = "the source file became shorter while it was read";
        return false;
    }
    length = end - module.offset;
    return true;
}

bool ModuleWriter::copyModule(InputFile& source, const ModuleToWrite& module, std::uint64_t length, OutputFile& file,
                              const CopyProgress& progress, WriteResult& result, const std::string& shownPath) {
    std::uint64_t copied = 0;
    do {
        const std::uint64_t piece = progress ? std::min(kCopyPiece, length - copied) : length - copied;
        std::string error;
        if (!m_fs.copy(source, module.offset + copied, piece, file, error)) {
            result.reason = "cannot write \"" + shownPath + "\": " + error;
            return false;
        }
        copied += piece;
        // A module copied whole is published even when a stop came meanwhile: nothing is gained by
        // throwing it away.
        if (progress && !progress(copied) && copied < length) {
            result.stopped = true;
            result.reason = "stopped";
            return false;
        }
    } while (copied < length);
    return true;
}

WriteResult ModuleWriter::write(InputFile& source, const ModuleToWrite& module, const std::string& itemName,
                                NamingRule rule, const std::string& destination, NameClash clash,
                                const CopyProgress& progress) {
    WriteResult result;
    std::uint64_t length = 0;
    if (!moduleLength(source, module, length, result.reason))
        return result;

    std::vector<std::string> paths;
    for (const std::string& name : candidateNames(module, itemName, rule))
        paths.push_back(joinPath(destination, name));

    std::string error;
    const std::unique_ptr<OutputFile> file = m_fs.createTemporary(destination, error);
    if (!file) {
        result.reason = "cannot create a file in \"" + destination + "\": " + error;
        return result;
    }
    if (!copyModule(source, module, length, *file, progress, result, paths.front()))
        return result;
    for (const std::string& path : paths) {
        std::string published = path;
        const bool ok = clash == NameClash::MoveAside
                            ? publishAt(source, *file, path, result.reason)
                            : publishNumbered(*file, path, module.kind, published, result.reason);
        if (ok) {
            result.written = true;
            result.outputPath = published;
            result.reason.clear();
            return result;
        }
    }
    return result;
}

WriteResult ModuleWriter::plan(InputFile& source, const ModuleToWrite& module, const std::string& itemName,
                               NamingRule rule, const std::string& destination, NameClash clash) {
    WriteResult result;
    std::uint64_t length = 0;
    if (!moduleLength(source, module, length, result.reason))
        return result;
    for (const std::string& name : candidateNames(module, itemName, rule)) {
        const std::string path = joinPath(destination, name);
        if (clash == NameClash::NextNumber) {
            for (int number = 1; number <= kMaxNumber && result.outputPath.empty(); ++number) {
                const std::string numbered = numberedName(path, module.kind, number);
                if (nameTooLong(numbered))
                    break;
                if (!isTaken(numbered))
                    result.outputPath = numbered;
            }
        } else if (nameTooLong(path)) {
            continue;
        } else if (!isTaken(path)) {
            result.outputPath = path;
        } else if (m_fs.entryType(path) != FileSystem::EntryType::Directory && !mustStay(source, path) &&
                   !isTaken(path + ".old")) {
            // What is there now would be moved aside.
            m_planned.insert(path + ".old");
            result.outputPath = path;
        }
        if (!result.outputPath.empty()) {
            m_planned.insert(result.outputPath);
            result.written = true;
            return result;
        }
    }
    result.reason = "no free name for it in \"" + destination + "\"";
    return result;
}

} // namespace zendrow

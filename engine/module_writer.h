#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "engine/file_system.h"
#include "engine/module_locator.h"
#include "engine/output_naming.h"

namespace zendrow {

/// One module to write: where it lies in its source and what it is.
struct ModuleToWrite {
    ModuleKind kind = ModuleKind::IT;
    std::uint64_t offset = 0;
    std::optional<std::uint64_t> length; ///< none: up to the end of the source
    std::string title;                   ///< the title's raw bytes
};

/// What to do when something is already at an output's name.
enum class NameClash {
    MoveAside,  ///< keep it as NAME.old, then the source-based name (the default search)
    NextNumber, ///< never touch it: take the first free of NAME, "NAME (2)", "NAME (3)", ... (whole-file search)
};

/// What became of one module.
struct WriteResult {
    bool written = false;
    bool stopped = false;   ///< abandoned because progress asked to stop; nothing of it was published
    std::string outputPath; ///< where the module went (or, from plan, would go)
    std::string reason;     ///< why not, when not written
};

/// Bytes of the module copied so far; false abandons the module.
using CopyProgress = std::function<bool(std::uint64_t copied)>;

/// Writes modules into a destination folder.
///
/// A module is written beside its final name first, into a temporary that no name leads to, and
/// is published (named) only once it is complete; a failure, a stop or a kill before then leaves
/// the destination as it was, and the clean-up takes away only that temporary, never a name.
///
/// The name comes from the title under NamingRule::Original (when the title makes a plain file
/// name), else from itemName. With NameClash::MoveAside a file in the way is moved aside to its
/// name plus ".old" at the moment of publishing, never replacing anything; when that cannot be
/// done, when the file in the way is one of the run's sources (see setIsRunSource) or the source
/// itself, or when publishing fails, the source-based name is tried next. With
/// NameClash::NextNumber nothing in the way is ever moved: anything at a name (a file, a folder,
/// a link, even a dangling one) makes it taken, and the next number is tried. Nothing is ever
/// truncated or overwritten.
class ModuleWriter {
public:
    explicit ModuleWriter(FileSystem& fs) : m_fs(fs) {}

    /// Says whether the file at a path is one of the files the run converts, which must stay where
    /// the run will look for it. By default no file is.
    void setIsRunSource(std::function<bool(const std::string& path)> isRunSource) {
        m_isRunSource = std::move(isRunSource);
    }

    WriteResult write(InputFile& source, const ModuleToWrite& module, const std::string& itemName, NamingRule rule,
                      const std::string& destination, NameClash clash, const CopyProgress& progress = {});

    /// The name that write would give the module now, writing nothing. The names given by earlier
    /// plans of this writer count as taken, as the files of a real run would be.
    WriteResult plan(InputFile& source, const ModuleToWrite& module, const std::string& itemName, NamingRule rule,
                     const std::string& destination, NameClash clash);

private:
    bool moduleLength(InputFile& source, const ModuleToWrite& module, std::uint64_t& length, std::string& reason);
    bool copyModule(InputFile& source, const ModuleToWrite& module, std::uint64_t length, OutputFile& file,
                    const CopyProgress& progress, WriteResult& result, const std::string& shownPath);
    bool publishAt(InputFile& source, OutputFile& file, const std::string& path, std::string& reason);
    bool publishNumbered(OutputFile& file, const std::string& firstPath, ModuleKind kind, std::string& path,
                         std::string& reason);
    /// True when something is at path, or a plan of this writer gave it out.
    bool isTaken(const std::string& path);
    /// Why the file at path must stay where it is, or nothing when it may be moved aside.
    std::optional<std::string> mustStay(InputFile& source, const std::string& path);

    FileSystem& m_fs;
    std::function<bool(const std::string& path)> m_isRunSource;
    std::set<std::string> m_planned;
};

/// The n-th name of a numbered series: "Song.it", "Song (2).it", "Song (3).it", ...; the number goes
/// before the kind's extension.
std::string numberedName(const std::string& name, ModuleKind kind, int number);

} // namespace zendrow

#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/file_system.h"
#include "engine/module_locator.h"
#include "engine/output_naming.h"

namespace zendrow {

/// What became of one located module.
struct WriteResult {
    bool written = false;
    std::string outputPath; ///< where the module went, when written
    std::string reason;     ///< why not, when not written
};

/// Writes one located module into destination: every byte from its start to the end of source.
///
/// The module is written beside its final name first, into a temporary that no name leads to, and
/// is published (named) only once it is complete; a failure or a kill before then leaves the
/// destination as it was, and the clean-up takes away only that temporary, never a name.
///
/// The name comes from the title under NamingRule::Original (when the title makes a plain file
/// name), else from itemName. A file in the way is moved aside to its name plus ".old" at the
/// moment of publishing, never replacing anything; when that cannot be done, when the file in the
/// way is one of the run's sources (see setIsRunSource) or the source itself, or when publishing
/// fails, the source-based name is tried next. Nothing is ever truncated or overwritten.
class ModuleWriter {
public:
    explicit ModuleWriter(FileSystem& fs) : m_fs(fs) {}

    /// Says whether the file at a path is one of the files the run converts, which must stay where
    /// the run will look for it. By default no file is.
    void setIsRunSource(std::function<bool(const std::string& path)> isRunSource) {
        m_isRunSource = std::move(isRunSource);
    }

    WriteResult write(InputFile& source, const LocateResult& located, const std::string& title,
                      const std::string& itemName, NamingRule rule, const std::string& destination);

private:
    bool publishAt(InputFile& source, OutputFile& file, const std::string& path, std::string& reason);

    FileSystem& m_fs;
    std::function<bool(const std::string& path)> m_isRunSource;
};

} // namespace zendrow

#pragma once

#include <cstdint>
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
/// The name comes from the title under NamingRule::Original (when the title makes a plain file
/// name), else from itemName. A file in the way is moved aside to its name plus ".old", never
/// replacing anything; when that cannot be done, or creation fails, the source-based name is tried
/// next. Nothing is ever truncated, the source is never the output, and a failed copy leaves the
/// destination as it was: the partial output is removed and a file moved aside is moved back.
class ModuleWriter {
public:
    explicit ModuleWriter(FileSystem& fs) : m_fs(fs) {}

    WriteResult write(InputFile& source, const LocateResult& located, const std::string& title,
                      const std::string& itemName, NamingRule rule, const std::string& destination);

private:
    struct Created;
    bool create(InputFile& source, const std::string& path, Created& created, std::string& reason);

    FileSystem& m_fs;
};

} // namespace zendrow

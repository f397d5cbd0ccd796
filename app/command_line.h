#pragma once

#include <iosfwd>

namespace zendrow {

class FileSystem;

/// zendrow-cli: extracts the modules of the container files and folders named on the command line.
/// Returns the exit status: 0 when no file failed, 1 when any did, 2 for usage errors.
int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err, FileSystem& fs);

} // namespace zendrow

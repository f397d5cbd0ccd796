#pragma once

#include <string>
#include <vector>

#include "engine/file_system.h"

namespace zendrow {

/// What became of one selected file.
struct FileResult {
    enum class Outcome { Converted, Skipped, Failed };
    Outcome outcome = Outcome::Skipped;
    std::string itemName;   ///< the file's name as the list shows it
    std::string sourcePath; ///< the path it was read from
    std::string outputPath; ///< where its module went, when converted
    std::string reason;     ///< why it failed, when failed
};

/// The run's counters, as the status panels show them.
struct RunCounts {
    int converted = 0;
    int skipped = 0;
    int failed = 0;
};

/// The outcome of a whole run.
struct RunReport {
    enum class Status { Completed, Cancelled, DestinationError };
    Status status = Status::Completed;
    std::string error; ///< with DestinationError: the folder and the reason, ready to show
    RunCounts counts;
    std::vector<FileResult> failures;

    /// The closing message: converted and skipped counts, then any failures with their reasons.
    std::string summary() const;
};

/// What a run needs of its front end: the file list, the naming choice and the destination, read
/// afresh for every file (the window stays live during a run), and the places where it reports.
class RunHost {
public:
    virtual ~RunHost() = default;

    virtual int itemCount() = 0;
    virtual bool isSelected(int item) = 0;
    virtual std::string itemText(int item) = 0;
    /// The folder that item lives in.
    virtual std::string folder(int item) = 0;
    virtual int selectedCount() = 0;
    /// The "File names" choice: 0 is "Original", anything else "From source files".
    virtual int namingRule() = 0;
    virtual std::string destination() = 0;

    /// The destination folder does not exist; true has the run create it (one level).
    virtual bool confirmCreateDestination(const std::string& destination) = 0;
    /// The busy display starts; no file has been read yet.
    virtual void runStarted(int selectedCount) = 0;
    virtual void fileDone(const FileResult& result, const RunCounts& counts) = 0;
    /// Called after every file, so the host can handle pending input and painting.
    virtual void processEvents() = 0;
    /// Asked after every file: true ends the run there (the command line, once its report cannot be written).
    virtual bool stopRequested() { return false; }
};

/// Converts every selected item of host in list order.
RunReport runConversion(RunHost& host, FileSystem& fs);

} // namespace zendrow

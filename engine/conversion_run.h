#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/module_locator.h"
#include "engine/output_naming.h"

namespace zendrow {

/// Where a run looks for modules.
enum class SearchMode {
    FileStart, ///< IT or S3M in the first 255 bytes, copied to the end of the file
    WholeFile, ///< every module anywhere in the file, each exactly as long as it is
};

/// The choices a run follows, asked afresh before every file: a front end may change them during a
/// run, and the change applies from the next file on.
struct RunSettings {
    NamingRule naming = NamingRule::Original;
    SearchMode search = SearchMode::FileStart;
    std::string destination;
    /// Find and name the modules, but write nothing: each module is reported as found, under the
    /// name a real run would give it at that moment, earlier modules of the same run included.
    bool listOnly = false;
};

/// One file of the list: its folder and its name, both as the file system's own bytes.
struct RunItem {
    std::string folder;
    std::string name;
};

/// The list and its selection, asked item by item: the list may change during a run.
class RunItems {
public:
    virtual ~RunItems() = default;
    virtual int count() = 0;
    virtual bool isSelected(int index) = 0;
    virtual RunItem item(int index) = 0;
    virtual int selectedCount() = 0;
};

/// What became of one module found in a file.
struct ModuleResult {
    enum class Status { Converted, Found, Failed };
    Status status = Status::Failed;
    ModuleKind kind = ModuleKind::IT;
    std::uint64_t offset = 0;  ///< file offset of the module's first byte
    std::uint64_t length = 0;  ///< bytes the output holds (or would hold)
    std::uint64_t missing = 0; ///< bytes of a truncated module that lie past the end of the file
    std::string title;         ///< the song title as UTF-8 text
    std::string outputPath;    ///< the file that holds it, or with Found the file it would get
    std::string reason;        ///< why it failed, when failed
};

/// What became of one selected file.
struct FileResult {
    enum class Outcome { Converted, Skipped, Failed };
    /// Converted when every module found was written (or found, in a listing), Skipped when there
    /// was none, Failed when the file could not be read or any of its modules could not be written.
    Outcome outcome = Outcome::Skipped;
    std::string itemName;   ///< the file's name as the list holds it
    std::string sourcePath; ///< the path it was read from
    std::string outputPath; ///< where its (first) module went, when converted
    std::string reason;     ///< why it failed, when failed
    std::vector<ModuleResult> modules;
};

/// The run's counters, as the status panels show them. In a whole-file search converted, found,
/// truncated and failed count modules (and failed also files that could not be read); skipped
/// always counts files.
struct RunCounts {
    int converted = 0;
    int skipped = 0;
    int failed = 0;
    int found = 0;     ///< modules found by a listing
    int truncated = 0; ///< modules written (or found) cut short by the end of their file
};

/// Receives what happens during a run, and answers whether to stop. It never changes the run's
/// input: a front end that must handle its own events does so here.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    /// No file has been read yet.
    virtual void runStarted(int /*selectedCount*/) {}
    virtual void fileDone(const FileResult& /*result*/, const RunCounts& /*counts*/) {}
    /// Within the file in hand: how far the copy or the search has got, in bytes of the file.
    virtual void fileProgress(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
    /// Asked after every file, and now and then within a long one; true ends the run: the file in
    /// hand is abandoned cleanly (nothing of the module in hand is published) and counts as not finished.
    virtual bool stopRequested() { return false; }
};

/// The outcome of a whole run.
struct RunReport {
    enum class Status { Completed, Stopped, DestinationError };
    Status status = Status::Completed;
    std::string error; ///< with DestinationError: the folder and the reason, ready to show
    RunCounts counts;
    std::vector<FileResult> failures; ///< failed files, and one entry per failed module
    bool listOnly = false;
    int stoppedBefore = 0; ///< with Stopped: the selected files not finished

    /// The closing message: converted (or found) and skipped counts, the truncated modules if any,
    /// then any failures with their reasons.
    std::string summary() const;
};

/// Converts every selected item in list order. The destination must be an existing folder: asking
/// about and creating a missing one is the front end's part, before the run.
RunReport runConversion(RunItems& items, const std::function<RunSettings()>& settings, RunObserver& observer,
                        FileSystem& fs);

} // namespace zendrow

#include "engine/conversion_run.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>

#include "engine/display_text.h"
#include "engine/module_locator.h"
#include "engine/module_scanner.h"
#include "engine/module_writer.h"
#include "engine/output_naming.h"

namespace zendrow {

namespace {

constexpr std::size_t kFailuresListed = 10;

// Fills in the file's outcome from its modules: failed as soon as one of them failed.
void settleOutcome(FileResult& result) {
    if (result.modules.empty()) {
        result.outcome = FileResult::Outcome::Skipped;
        return;
    }
    result.outcome = FileResult::Outcome::Converted;
    for (const ModuleResult& module : result.modules) {
        if (module.status == ModuleResult::Status::Failed) {
            result.outcome = FileResult::Outcome::Failed;
            result.reason = module.reason;
            return;
        }
    }
    result.outputPath = result.modules.front().outputPath;
}

// Writes (or, in a listing, names) one module and says what became of it; nothing when the module
// was abandoned because the run is stopping.
std::optional<ModuleResult> writeModule(InputFile& source, const ModuleToWrite& toWrite, std::uint64_t length,
                                        std::uint64_t missing, const std::string& itemName, const RunSettings& settings,
                                        ModuleWriter& writer, const CopyProgress& progress, bool& stopped) {
    ModuleResult module;
    module.kind = toWrite.kind;
    module.offset = toWrite.offset;
    module.length = length;
    module.missing = missing;
    module.title = titleToUtf8(toWrite.title, toWrite.kind);
    if (settings.destination.empty()) {
        module.reason = "no destination folder is given";
        return module;
    }
    const NameClash clash = settings.search == SearchMode::WholeFile ? NameClash::NextNumber : NameClash::MoveAside;
    WriteResult written =
        settings.listOnly
            ? writer.plan(source, toWrite, itemName, settings.naming, settings.destination, clash)
            : writer.write(source, toWrite, itemName, settings.naming, settings.destination, clash, progress);
    if (written.stopped) {
        stopped = true;
        return std::nullopt;
    }
    if (written.written) {
        module.status = settings.listOnly ? ModuleResult::Status::Found : ModuleResult::Status::Converted;
        module.outputPath = std::move(written.outputPath);
    } else {
        module.reason = std::move(written.reason);
    }
    return module;
}

// The default search: one IT or S3M module in the file's head, running to the end of the file.
void convertFromStart(InputFile& source, const RunSettings& settings, ModuleWriter& writer, RunObserver& observer,
                      std::span<std::uint8_t> head, FileResult& result, bool& stopped) {
    std::string error;
    const std::int64_t got = source.readAt(0, head, error);
    if (got < 0) {
        result.outcome = FileResult::Outcome::Failed;
        result.reason = "cannot read: " + error;
        return;
    }
    const auto window = head.first(static_cast<std::size_t>(got));
    const LocateResult located = locateModule(window);
    if (!located.found) {
        result.outcome = FileResult::Outcome::Skipped;
        return;
    }
    ModuleToWrite toWrite{located.kind, located.start, std::nullopt, moduleTitle(window, located)};
    std::uint64_t size = 0;
    const std::uint64_t length = source.size(size, error) && size >= located.start ? size - located.start : 0;
    const CopyProgress progress = [&](std::uint64_t copied) {
        observer.fileProgress(located.start + copied, size);
        return !observer.stopRequested();
    };
    if (std::optional<ModuleResult> module =
            writeModule(source, toWrite, length, 0, result.itemName, settings, writer, progress, stopped))
        result.modules.push_back(std::move(*module));
    settleOutcome(result);
}

// The whole-file search: every module anywhere in the file, each exactly as long as it is.
void convertWholeFile(InputFile& source, const RunSettings& settings, ModuleWriter& writer, RunObserver& observer,
                      FileResult& result, bool& stopped) {
    std::string error;
    std::uint64_t size = 0;
    bool scanned = source.size(size, error);
    if (scanned) {
        ModuleScanner scanner;
        scanned = scanner.scan(
            source, size,
            [&](const FoundModule& found) {
                const ModuleToWrite toWrite{found.kind, found.offset, found.length, found.title};
                const CopyProgress progress = [&](std::uint64_t copied) {
                    observer.fileProgress(found.offset + copied, size);
                    return !observer.stopRequested();
                };
                if (std::optional<ModuleResult> module =
                        writeModule(source, toWrite, found.length, found.missing, result.itemName, settings, writer,
                                    progress, stopped))
                    result.modules.push_back(std::move(*module));
                return !stopped;
            },
            [&](std::uint64_t done) {
                observer.fileProgress(done, size);
                stopped = stopped || observer.stopRequested();
                return !stopped;
            },
            error);
    }
    settleOutcome(result);
    if (!scanned) {
        result.outcome = FileResult::Outcome::Failed;
        result.reason = "cannot read: " + error;
    }
}

FileResult convertOne(const RunItem& item, const RunSettings& settings, FileSystem& fs, ModuleWriter& writer,
                      RunObserver& observer, std::span<std::uint8_t> head, bool& stopped) {
    FileResult result;
    result.itemName = item.name;
    result.sourcePath = joinPath(item.folder, item.name);

    std::string error;
    const std::unique_ptr<InputFile> source = fs.openForReading(result.sourcePath, error);
    if (!source) {
        result.outcome = FileResult::Outcome::Failed;
        result.reason = "cannot open: " + error;
        return result;
    }
    if (settings.search == SearchMode::WholeFile)
        convertWholeFile(*source, settings, writer, observer, result, stopped);
    else
        convertFromStart(*source, settings, writer, observer, head, result, stopped);
    return result;
}

void count(const FileResult& result, bool abandoned, RunReport& report) {
    RunCounts& counts = report.counts;
    if (result.outcome == FileResult::Outcome::Skipped && !abandoned)
        ++counts.skipped;
    bool moduleFailed = false;
    for (const ModuleResult& module : result.modules) {
        switch (module.status) {
        case ModuleResult::Status::Converted:
            ++counts.converted;
            break;
        case ModuleResult::Status::Found:
            ++counts.found;
            break;
        case ModuleResult::Status::Failed:
            ++counts.failed;
            moduleFailed = true;
            FileResult failure = result;
            failure.reason = module.reason;
            failure.modules = {module};
            report.failures.push_back(std::move(failure));
            continue;
        }
        if (module.missing > 0)
            ++counts.truncated;
    }
    // The file itself failed: it could not be opened or read.
    if (result.outcome == FileResult::Outcome::Failed && !moduleFailed) {
        ++counts.failed;
        FileResult failure = result;
        failure.modules.clear();
        report.failures.push_back(std::move(failure));
    }
}

} // namespace

RunReport runConversion(RunItems& items, const std::function<RunSettings()>& settings, RunObserver& observer,
                        FileSystem& fs) {
    RunReport report;
    const RunSettings first = settings();
    report.listOnly = first.listOnly;
    const std::string& destination = first.destination;
    if (destination.empty()) {
        report.status = RunReport::Status::DestinationError;
        report.error = "No destination folder is given.";
        return report;
    }
    // A listing writes nothing, so a destination that is yet to be made is fine for it.
    if (!first.listOnly && !fs.isDirectory(destination)) {
        report.status = RunReport::Status::DestinationError;
        report.error = "The destination folder \"" + destination + "\" does not exist.";
        return report;
    }

    observer.runStarted(items.selectedCount());
    ModuleWriter writer(fs);
    // A module named like a later source must not move that source aside before it is read.
    std::set<FileIdentity> sources;
    for (int index = 0; index < items.count(); ++index) {
        FileIdentity identity;
        if (!items.isSelected(index))
            continue;
        const RunItem item = items.item(index);
        if (fs.identity(joinPath(item.folder, item.name), identity))
            sources.insert(identity);
    }
    writer.setIsRunSource([&fs, &sources](const std::string& path) {
        FileIdentity identity;
        return fs.identity(path, identity) && sources.contains(identity);
    });
    // One head window for the whole run; one byte more than is ever read.
    const auto head = std::make_unique<std::array<std::uint8_t, kHeadWindowSize + 1>>();
    for (int index = 0; index < items.count(); ++index) {
        if (!items.isSelected(index))
            continue;
        bool abandoned = false;
        FileResult result = convertOne(items.item(index), settings(), fs, writer, observer,
                                       std::span(head->data(), kHeadWindowSize), abandoned);
        count(result, abandoned, report);
        if (!abandoned)
            observer.fileDone(result, report.counts);
        if (abandoned || observer.stopRequested()) {
            // The file abandoned in hand is not finished either; modules it had already given stay whole.
            report.stoppedBefore = abandoned ? 1 : 0;
            for (int rest = index + 1; rest < items.count(); ++rest)
                report.stoppedBefore += items.isSelected(rest) ? 1 : 0;
            if (report.stoppedBefore > 0)
                report.status = RunReport::Status::Stopped;
            break;
        }
    }
    return report;
}

std::string RunReport::summary() const {
    // "succesfully" is spelled as the program has always shown it; users and their scripts know it.
    std::string text = listOnly ? std::to_string(counts.found) + " module(s) found,\n"
                                : std::to_string(counts.converted) + " file(s) converted succesfully,\n";
    text.append(std::to_string(counts.skipped)).append(" file(s) skipped.");
    if (counts.truncated > 0)
        text.append("\n").append(std::to_string(counts.truncated)).append(" module(s) truncated.");
    if (!failures.empty())
        text.append("\n").append(std::to_string(failures.size())).append(" file(s) failed:");
    for (std::size_t i = 0; i < failures.size() && i < kFailuresListed; ++i)
        text.append("\n")
            .append(displayName(failures[i].itemName))
            .append(": ")
            .append(displayMessage(failures[i].reason));
    if (failures.size() > kFailuresListed)
        text.append("\nand ").append(std::to_string(failures.size() - kFailuresListed)).append(" more");
    if (status == Status::Stopped)
        text.append("\nStopped before ").append(std::to_string(stoppedBefore)).append(" file(s).");
    return text;
}

} // namespace zendrow

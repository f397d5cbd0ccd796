#include "engine/conversion_run.h"

#include <array>
#include <cstdint>
#include <memory>
#include <set>

#include "engine/display_text.h"
#include "engine/module_locator.h"
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

// The default search: one IT or S3M module in the file's head, running to the end of the file.
void convertFromStart(InputFile& source, const RunSettings& settings, ModuleWriter& writer,
                      std::span<std::uint8_t> head, FileResult& result) {
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

    ModuleResult module;
    module.kind = located.kind;
    module.offset = located.start;
    const std::string titleBytes = moduleTitle(window, located);
    module.title = titleToUtf8(titleBytes, located.kind);
    std::uint64_t size = 0;
    if (source.size(size, error) && size >= located.start)
        module.length = size - located.start;

    if (settings.destination.empty()) {
        module.reason = "no destination folder is given";
    } else {
        const std::string title = settings.naming == NamingRule::Original ? titleBytes : std::string();
        WriteResult written =
            writer.write(source, located, title, result.itemName, settings.naming, settings.destination);
        if (written.written) {
            module.status = ModuleResult::Status::Converted;
            module.outputPath = std::move(written.outputPath);
        } else {
            module.reason = std::move(written.reason);
        }
    }
    result.modules.push_back(std::move(module));
    settleOutcome(result);
}

FileResult convertOne(const RunItem& item, const RunSettings& settings, FileSystem& fs, ModuleWriter& writer,
                      std::span<std::uint8_t> head) {
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
    convertFromStart(*source, settings, writer, head, result);
    return result;
}

void count(const FileResult& result, RunReport& report) {
    RunCounts& counts = report.counts;
    if (result.outcome == FileResult::Outcome::Skipped)
        ++counts.skipped;
    if (result.modules.empty() && result.outcome == FileResult::Outcome::Failed) {
        ++counts.failed;
        report.failures.push_back(result);
        return;
    }
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
            FileResult failure = result;
            failure.reason = module.reason;
            failure.modules.clear();
            report.failures.push_back(std::move(failure));
            continue;
        }
        if (module.missing > 0)
            ++counts.truncated;
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
        FileResult result =
            convertOne(items.item(index), settings(), fs, writer, std::span(head->data(), kHeadWindowSize));
        count(result, report);
        observer.fileDone(result, report.counts);
        if (observer.stopRequested()) {
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

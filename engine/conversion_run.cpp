#include "engine/conversion_run.h"

#include <array>
#include <cstdint>
#include <memory>

#include "engine/module_locator.h"
#include "engine/module_writer.h"
#include "engine/output_naming.h"

namespace zendrow {

namespace {

constexpr std::size_t kFailuresListed = 10;

FileResult convertOne(const RunItem& item, const RunSettings& settings, FileSystem& fs, ModuleWriter& writer,
                      std::span<std::uint8_t> head) {
    FileResult result;
    result.itemName = item.name;
    result.sourcePath = joinPath(item.folder, item.name);
    result.outcome = FileResult::Outcome::Failed;

    std::string error;
    const std::unique_ptr<InputFile> source = fs.openForReading(result.sourcePath, error);
    if (!source) {
        result.reason = "cannot open: " + error;
        return result;
    }
    const std::int64_t got = source->readAt(0, head, error);
    if (got < 0) {
        result.reason = "cannot read: " + error;
        return result;
    }
    const auto window = head.first(static_cast<std::size_t>(got));
    const LocateResult located = locateModule(window);
    if (!located.found) {
        result.outcome = FileResult::Outcome::Skipped;
        return result;
    }

    const NamingRule rule = settings.naming;
    const std::string title = rule == NamingRule::Original ? moduleTitle(window, located) : std::string();
    if (settings.destination.empty()) {
        result.reason = "no destination folder is given";
        return result;
    }
    WriteResult written = writer.write(*source, located, title, result.itemName, rule, settings.destination);
    if (!written.written) {
        result.reason = std::move(written.reason);
        return result;
    }
    result.outcome = FileResult::Outcome::Converted;
    result.outputPath = std::move(written.outputPath);
    return result;
}

} // namespace

RunReport runConversion(RunItems& items, const std::function<RunSettings()>& settings, RunObserver& observer,
                        FileSystem& fs) {
    RunReport report;
    const std::string destination = settings().destination;
    if (destination.empty()) {
        report.status = RunReport::Status::DestinationError;
        report.error = "No destination folder is given.";
        return report;
    }
    if (!fs.isDirectory(destination)) {
        report.status = RunReport::Status::DestinationError;
        report.error = "The destination folder \"" + destination + "\" does not exist.";
        return report;
    }

    observer.runStarted(items.selectedCount());
    ModuleWriter writer(fs);
    // One head window for the whole run; one byte more than is ever read.
    const auto head = std::make_unique<std::array<std::uint8_t, kHeadWindowSize + 1>>();
    for (int index = 0; index < items.count(); ++index) {
        if (!items.isSelected(index))
            continue;
        FileResult result =
            convertOne(items.item(index), settings(), fs, writer, std::span(head->data(), kHeadWindowSize));
        switch (result.outcome) {
        case FileResult::Outcome::Converted:
            ++report.counts.converted;
            break;
        case FileResult::Outcome::Skipped:
            ++report.counts.skipped;
            break;
        case FileResult::Outcome::Failed:
            ++report.counts.failed;
            break;
        }
        observer.fileDone(result, report.counts);
        if (result.outcome == FileResult::Outcome::Failed)
            report.failures.push_back(std::move(result));
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
    std::string text = std::to_string(counts.converted) + " file(s) converted succesfully,\n" +
                       std::to_string(counts.skipped) + " file(s) skipped.";
    if (!failures.empty())
        text.append("\n").append(std::to_string(failures.size())).append(" file(s) failed:");
    for (std::size_t i = 0; i < failures.size() && i < kFailuresListed; ++i)
        text.append("\n").append(failures[i].itemName).append(": ").append(failures[i].reason);
    if (failures.size() > kFailuresListed)
        text.append("\nand ").append(std::to_string(failures.size() - kFailuresListed)).append(" more");
    if (status == Status::Stopped)
        text.append("\nStopped before ").append(std::to_string(stoppedBefore)).append(" file(s).");
    return text;
}

} // namespace zendrow

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

FileResult convertOne(RunHost& host, FileSystem& fs, ModuleWriter& writer, std::span<std::uint8_t> head, int item) {
    FileResult result;
    result.itemName = host.itemText(item);
    result.sourcePath = joinPath(host.folder(item), result.itemName);
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

    const NamingRule rule = namingRuleFromIndex(host.namingRule());
    const std::string title = rule == NamingRule::Original ? moduleTitle(window, located) : std::string();
    const std::string destination = host.destination();
    if (destination.empty()) {
        result.reason = "no destination folder is given";
        return result;
    }
    WriteResult written = writer.write(*source, located, title, result.itemName, rule, destination);
    if (!written.written) {
        result.reason = std::move(written.reason);
        return result;
    }
    result.outcome = FileResult::Outcome::Converted;
    result.outputPath = std::move(written.outputPath);
    return result;
}

} // namespace

RunReport runConversion(RunHost& host, FileSystem& fs) {
    RunReport report;
    const std::string destination = host.destination();
    if (destination.empty()) {
        report.status = RunReport::Status::DestinationError;
        report.error = "No destination folder is given.";
        return report;
    }
    if (!fs.isDirectory(destination)) {
        if (!host.confirmCreateDestination(destination)) {
            report.status = RunReport::Status::Cancelled;
            return report;
        }
        std::string error;
        if (!fs.createDirectory(destination, error)) {
            report.status = RunReport::Status::DestinationError;
            report.error = "Cannot create the destination folder \"" + destination + "\": " + error;
            return report;
        }
    }

    host.runStarted(host.selectedCount());
    ModuleWriter writer(fs);
    // A module named like a later source must not move that source aside before it is read.
    std::set<FileIdentity> sources;
    for (int item = 0; item < host.itemCount(); ++item) {
        FileIdentity identity;
        if (host.isSelected(item) && fs.identity(joinPath(host.folder(item), host.itemText(item)), identity))
            sources.insert(identity);
    }
    writer.setIsRunSource([&fs, &sources](const std::string& path) {
        FileIdentity identity;
        return fs.identity(path, identity) && sources.contains(identity);
    });
    // One head window for the whole run; one byte more than is ever read.
    const auto head = std::make_unique<std::array<std::uint8_t, kHeadWindowSize + 1>>();
    for (int item = 0; item < host.itemCount(); ++item) {
        if (!host.isSelected(item))
            continue;
        FileResult result = convertOne(host, fs, writer, std::span(head->data(), kHeadWindowSize), item);
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
        host.fileDone(result, report.counts);
        if (result.outcome == FileResult::Outcome::Failed)
            report.failures.push_back(std::move(result));
        host.processEvents();
        if (host.stopRequested())
            break;
    }
    return report;
}

std::string RunReport::summary() const {
    std::string text = std::to_string(counts.converted) + " file(s) converted succesfully,\n" +
                       std::to_string(counts.skipped) + " file(s) skipped.";
    if (failures.empty())
        return text;
    text += '\n';
    text += std::to_string(failures.size()) + " file(s) failed:";
    for (std::size_t i = 0; i < failures.size() && i < kFailuresListed; ++i)
        text.append("\n").append(displayName(failures[i].itemName)).append(": ").append(displayMessage(failures[i].reason));
    if (failures.size() > kFailuresListed)
        text.append("\nand ").append(std::to_string(failures.size() - kFailuresListed)).append(" more");
    return text;
}

} // namespace zendrow

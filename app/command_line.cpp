#include "app/command_line.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/result_printer.h"
#include "engine/ascii_text.h"
#include "engine/conversion_run.h"
#include "engine/display_text.h"
#include "engine/folder_listing.h"
#include "engine/utf8_path.h"

namespace zendrow {

namespace {

constexpr const char* kProgram = "zendrow-cli";

bool stderrIsTerminal() {
#ifdef _WIN32
    return ::_isatty(::_fileno(stderr));
#else
    return ::isatty(STDERR_FILENO);
#endif
}

struct Options {
    std::string destination;
    std::string names = "original";
    std::string mask{kDefaultMask};
    bool createDestination = false;
    bool quiet = false;
    bool scan = false;
    bool list = false;
    bool json = false;
    std::vector<std::string> paths;
};

// Every file named on the command line is selected, and nothing changes during the run.
class ArgumentItems : public RunItems {
public:
    explicit ArgumentItems(std::vector<RunItem> items) : m_items(std::move(items)) {}
    int count() override { return static_cast<int>(m_items.size()); }
    bool isSelected(int) override { return true; }
    RunItem item(int index) override { return m_items[static_cast<std::size_t>(index)]; }
    int selectedCount() override { return count(); }

private:
    std::vector<RunItem> m_items;
};

RunItem itemForFile(std::string path) {
    while (path.size() > 1 && isPathSeparator(path.back()))
        path.pop_back();
    const std::filesystem::path p = pathFromUtf8(path);
    return {p.has_parent_path() ? utf8FromPath(p.parent_path()) : std::string(), utf8FromPath(p.filename())};
}

int usageError(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << displayMessage(message) << '\n';
    return 2;
}

// Values that would silently mean something else (an unset variable in a script gives "").
const CLI::Validator
    kNotEmpty([](std::string& value) { return value.empty() ? std::string("must not be empty") : std::string(); }, "");

int outputFailed(std::ostream& err, const std::string& reason) {
    err << kProgram << ": cannot write to standard output: " << reason << '\n';
    return 1;
}

} // namespace

int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err, FileSystem& fs) {
    Options options;
    CLI::App app{"Extracts the tracker music modules held in game container files: by default the Impulse Tracker or\n"
                 "Scream Tracker 3 module at a file's start, with --scan every IT, S3M, XM and MOD module in it.",
                 kProgram};
    app.add_option("--dest", options.destination, "Destination folder (default: the working directory)")
        ->check(kNotEmpty);
    app.add_option("--names", options.names, "Name outputs after the song title or the source file")
        ->check(CLI::IsMember({"original", "source"}))
        ->default_str("original");
    app.add_flag("--create-dest", options.createDestination, "Create the destination folder and its parents");
    app.add_option("--mask", options.mask, "Files taken from a folder (letter case ignored)")
        ->default_str(std::string(kDefaultMask))
        ->check(kNotEmpty);
    app.add_flag("--quiet", options.quiet, "Print only failures and the summary");
    app.add_flag("--scan", options.scan,
                 "Search the whole file: every IT, S3M, XM and MOD module, each exactly as long as it is");
    app.add_flag("--list", options.list, "Print what would be written, and write nothing");
    app.add_flag("--json", options.json, "Print JSON Lines: one object per module or file, then the totals");
    app.add_option("PATH", options.paths, "Container files, or folders of them")->required()->check(kNotEmpty);
    app.set_version_flag("--version", std::string(kProgram) + " " + ZENDROW_VERSION);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << '\n';
        return 0;
    } catch (const CLI::ParseError& e) {
        return usageError(err, std::string(e.what()) + " (see --help)");
    }

    if (options.destination.empty())
        options.destination = utf8FromPath(std::filesystem::current_path());
    // A listing writes nothing: the destination may be yet to be made.
    if (!options.list && !fs.isDirectory(options.destination)) {
        if (fs.entryType(options.destination) != FileSystem::EntryType::None)
            return usageError(err, "the destination \"" + options.destination + "\" is not a folder");
        if (!options.createDestination)
            return usageError(err, "the destination folder \"" + options.destination +
                                       "\" does not exist (--create-dest creates it)");
        std::string error;
        if (!fs.createDirectories(options.destination, error))
            return usageError(err, "cannot create the destination folder \"" + options.destination + "\": " + error);
    }

    // Folders that cannot be listed fail like files that cannot be read, ahead of the run.
    std::vector<FileResult> listingFailures;
    std::vector<RunItem> items;
    const PrintStyle style{options.quiet, options.json, options.scan, &err == &std::cerr && stderrIsTerminal()};
    ResultPrinter printer(style, 0, out, err);
    for (const std::string& path : options.paths) {
        if (!fs.isDirectory(path)) {
            items.push_back(itemForFile(path));
            continue;
        }
        std::vector<std::string> names;
        std::string error;
        if (!listMatchingFiles(fs, path, options.mask, names, error)) {
            FileResult failed{FileResult::Outcome::Failed, path, path, {}, "cannot read the folder: " + error, {}};
            printer.print(failed);
            listingFailures.push_back(std::move(failed));
            continue;
        }
        for (std::string& name : names)
            items.push_back({path, std::move(name)});
    }

    if (!printer.outputError().empty())
        return outputFailed(err, printer.outputError());

    const RunSettings settings{options.names == "original" ? NamingRule::Original : NamingRule::FromSourceFiles,
                               options.scan ? SearchMode::WholeFile : SearchMode::FileStart, options.destination,
                               options.list};
    ArgumentItems runItems(std::move(items));
    ResultPrinter runPrinter(style, runItems.count(), out, err);
    RunReport report = runConversion(
        runItems, [&] { return settings; }, runPrinter, fs);
    runPrinter.clearProgress();
    if (!runPrinter.outputError().empty())
        return outputFailed(err, runPrinter.outputError());
    if (report.status == RunReport::Status::DestinationError)
        return usageError(err, report.error);

    report.counts.failed += static_cast<int>(listingFailures.size());
    report.failures.insert(report.failures.begin(), listingFailures.begin(), listingFailures.end());
    runPrinter.printEnd(report);
    if (!runPrinter.outputError().empty())
        return outputFailed(err, runPrinter.outputError());
    return report.counts.failed > 0 ? 1 : 0;
}

} // namespace zendrow

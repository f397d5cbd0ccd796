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

#include "engine/ascii_text.h"
#include "engine/conversion_run.h"
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
    std::vector<std::string> paths;
};

// The result lines, one per file: "converted", "skipped" and "failed", aligned.
void printResult(std::ostream& out, const FileResult& result, bool quiet) {
    switch (result.outcome) {
    case FileResult::Outcome::Converted:
        if (!quiet)
            out << "converted  " << result.sourcePath << " -> " << result.outputPath << '\n';
        break;
    case FileResult::Outcome::Skipped:
        if (!quiet)
            out << "skipped    " << result.sourcePath << " (no module)\n";
        break;
    case FileResult::Outcome::Failed:
        out << "failed     " << result.sourcePath << ": " << result.reason << '\n';
        break;
    }
}

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

// Prints a line per file, and on a terminal a progress line on stderr.
class ResultPrinter : public RunObserver {
public:
    ResultPrinter(const Options& options, int total, std::ostream& out, std::ostream& err)
        : m_options(options), m_total(total), m_out(out), m_err(err),
          m_showProgress(&err == &std::cerr && stderrIsTerminal()) {}

    void fileDone(const FileResult& result, const RunCounts& counts) override {
        clearProgress();
        printResult(m_out, result, m_options.quiet);
        const int done = counts.converted + counts.skipped + counts.failed;
        if (!m_showProgress)
            return;
        m_out.flush();
        m_err << "\r[" << done << '/' << m_total << "] " << std::flush;
        m_progressShown = true;
    }

    void clearProgress() {
        if (m_progressShown)
            m_err << "\r\033[K" << std::flush;
        m_progressShown = false;
    }

private:
    const Options& m_options;
    const int m_total;
    std::ostream& m_out;
    std::ostream& m_err;
    const bool m_showProgress;
    bool m_progressShown = false;
};

RunItem itemForFile(std::string path) {
    while (path.size() > 1 && isPathSeparator(path.back()))
        path.pop_back();
    const std::filesystem::path p = pathFromUtf8(path);
    return {p.has_parent_path() ? utf8FromPath(p.parent_path()) : std::string(), utf8FromPath(p.filename())};
}

int usageError(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << message << '\n';
    return 2;
}

} // namespace

int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err, FileSystem& fs) {
    Options options;
    CLI::App app{"Extracts the Impulse Tracker and Scream Tracker 3 modules held in game container files.", kProgram};
    app.add_option("--dest", options.destination, "Destination folder (default: the working directory)");
    app.add_option("--names", options.names, "Name outputs after the song title or the source file")
        ->check(CLI::IsMember({"original", "source"}))
        ->default_str("original");
    app.add_flag("--create-dest", options.createDestination, "Create the destination folder and its parents");
    app.add_option("--mask", options.mask, "Files taken from a folder (letter case ignored)")
        ->default_str(std::string(kDefaultMask));
    app.add_flag("--quiet", options.quiet, "Print only failures and the summary");
    app.add_option("PATH", options.paths, "Container files, or folders of them")->required();
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
    if (!fs.isDirectory(options.destination)) {
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
    for (const std::string& path : options.paths) {
        if (!fs.isDirectory(path)) {
            items.push_back(itemForFile(path));
            continue;
        }
        std::vector<std::string> names;
        std::string error;
        if (!listMatchingFiles(fs, path, options.mask, names, error)) {
            FileResult failed{FileResult::Outcome::Failed, path, path, {}, "cannot read the folder: " + error};
            printResult(out, failed, options.quiet);
            listingFailures.push_back(std::move(failed));
            continue;
        }
        for (std::string& name : names)
            items.push_back({path, std::move(name)});
    }

    const RunSettings settings{options.names == "original" ? NamingRule::Original : NamingRule::FromSourceFiles,
                               SearchMode::FileStart, options.destination};
    ArgumentItems runItems(std::move(items));
    ResultPrinter printer(options, runItems.count(), out, err);
    RunReport report = runConversion(
        runItems, [&] { return settings; }, printer, fs);
    printer.clearProgress();
    if (report.status == RunReport::Status::DestinationError)
        return usageError(err, report.error);

    report.counts.failed += static_cast<int>(listingFailures.size());
    report.failures.insert(report.failures.begin(), listingFailures.begin(), listingFailures.end());
    out << report.summary() << '\n';
    return report.counts.failed > 0 ? 1 : 0;
}

} // namespace zendrow

#include "app/command_line.h"

#include <cerrno>
#include <cstring>
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

// The system's reason for the failed write that has just put the output stream in error.
std::string outputErrorText() {
    const int code = errno;
    return code != 0 ? std::strerror(code) : "write error";
}

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

struct Item {
    std::string folder;
    std::string name;
};

struct Options {
    std::string destination;
    std::string names = "original";
    std::string mask{kDefaultMask};
    bool createDestination = false;
    bool quiet = false;
    std::vector<std::string> paths;
};

// The command line as the run's host: every named file is selected, nothing changes during the run.
class CommandLineHost : public RunHost {
public:
    CommandLineHost(const Options& options, std::vector<Item> items, std::ostream& out, std::ostream& err)
        : m_options(options), m_items(std::move(items)), m_out(out), m_err(err),
          m_showProgress(&err == &std::cerr && stderrIsTerminal()) {}

    int itemCount() override { return static_cast<int>(m_items.size()); }
    bool isSelected(int) override { return true; }
    std::string itemText(int item) override { return m_items[static_cast<std::size_t>(item)].name; }
    std::string folder(int item) override { return m_items[static_cast<std::size_t>(item)].folder; }
    int selectedCount() override { return itemCount(); }
    int namingRule() override { return m_options.names == "original" ? 0 : 1; }
    std::string destination() override { return m_options.destination; }
    // The destination was checked (and created if asked) before the run.
    bool confirmCreateDestination(const std::string&) override { return false; }
    void runStarted(int) override {}

    void fileDone(const FileResult& result, const RunCounts& counts) override {
        clearProgress();
        switch (result.outcome) {
        case FileResult::Outcome::Converted:
            if (!m_options.quiet)
                m_out << "converted  " << displayName(result.sourcePath) << " -> " << displayName(result.outputPath)
                      << '\n';
            break;
        case FileResult::Outcome::Skipped:
            if (!m_options.quiet)
                m_out << "skipped    " << displayName(result.sourcePath) << " (no module)\n";
            break;
        case FileResult::Outcome::Failed:
            m_out << "failed     " << displayName(result.sourcePath) << ": " << displayMessage(result.reason) << '\n';
            break;
        }
        // Each line is out before the next file, so that a report that cannot be written ends the run.
        m_out.flush();
        if (!m_out && m_outputError.empty())
            m_outputError = outputErrorText();
        m_done = counts.converted + counts.skipped + counts.failed;
    }

    bool stopRequested() override { return !m_outputError.empty(); }
    /// Why the report could not be written to the output stream; empty while it could.
    const std::string& outputError() const { return m_outputError; }

    void processEvents() override {
        if (!m_showProgress)
            return;
        m_out.flush();
        m_err << "\r[" << m_done << '/' << m_items.size() << "] " << std::flush;
        m_progressShown = true;
    }

    void clearProgress() {
        if (m_progressShown)
            m_err << "\r\033[K" << std::flush;
        m_progressShown = false;
    }

private:
    const Options& m_options;
    std::vector<Item> m_items;
    std::ostream& m_out;
    std::ostream& m_err;
    const bool m_showProgress;
    bool m_progressShown = false;
    int m_done = 0;
    std::string m_outputError;
};

Item itemForFile(std::string path) {
    while (path.size() > 1 && isSeparator(path.back()))
        path.pop_back();
    const std::filesystem::path p = pathFromUtf8(path);
    return {p.has_parent_path() ? utf8FromPath(p.parent_path()) : std::string(), utf8FromPath(p.filename())};
}

int usageError(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << displayMessage(message) << '\n';
    return 2;
}

// Values that would silently mean something else (an unset variable in a script gives "").
const CLI::Validator kNotEmpty(
    [](std::string& value) { return value.empty() ? std::string("must not be empty") : std::string(); }, "");

int outputFailed(std::ostream& err, const std::string& reason) {
    err << kProgram << ": cannot write to standard output: " << reason << '\n';
    return 1;
}

} // namespace

int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err, FileSystem& fs) {
    Options options;
    CLI::App app{"Extracts the Impulse Tracker and Scream Tracker 3 modules held in game container files.", kProgram};
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
    std::vector<Item> items;
    for (const std::string& path : options.paths) {
        std::error_code code;
        if (!std::filesystem::is_directory(pathFromUtf8(path), code)) {
            items.push_back(itemForFile(path));
            continue;
        }
        std::vector<std::string> names;
        std::string error;
        if (!listMatchingFiles(path, options.mask, names, error)) {
            FileResult failed{FileResult::Outcome::Failed, path, path, {}, "cannot read the folder: " + error};
            out << "failed     " << displayName(path) << ": " << displayMessage(failed.reason) << '\n';
            listingFailures.push_back(std::move(failed));
            continue;
        }
        for (std::string& name : names)
            items.push_back({path, std::move(name)});
    }

    CommandLineHost host(options, std::move(items), out, err);
    RunReport report = runConversion(host, fs);
    host.clearProgress();
    if (!host.outputError().empty())
        return outputFailed(err, host.outputError());
    if (report.status != RunReport::Status::Completed)
        return usageError(err, report.error.empty() ? "the destination folder has gone" : report.error);

    report.counts.failed += static_cast<int>(listingFailures.size());
    report.failures.insert(report.failures.begin(), listingFailures.begin(), listingFailures.end());
    out << report.summary() << '\n';
    out.flush();
    if (!out)
        return outputFailed(err, outputErrorText());
    return report.counts.failed > 0 ? 1 : 0;
}

} // namespace zendrow

#pragma once

#include <iosfwd>
#include <string>

#include "engine/conversion_run.h"

namespace zendrow {

/// How zendrow-cli reports a run on standard output.
struct PrintStyle {
    bool quiet = false;         ///< only failures and the summary
    bool json = false;          ///< JSON Lines instead of the human lines and the summary
    bool moduleDetails = false; ///< the human lines show each module's offset and length (whole-file search)
    bool showProgress = false;  ///< a progress line on the error stream, which is a terminal
};

/// Prints a line per file or module as the run reports them, then the closing lines: the one
/// formatter of zendrow-cli's output, human or JSON Lines.
class ResultPrinter : public RunObserver {
public:
    ResultPrinter(PrintStyle style, int total, std::ostream& out, std::ostream& err);

    void fileDone(const FileResult& result, const RunCounts& counts) override;
    /// True once the report could not be written: the run then ends after the file in hand.
    bool stopRequested() override { return !m_outputError.empty(); }

    /// One file's lines, also for files that fail before the run (a folder that cannot be listed).
    void print(const FileResult& result);
    /// The summary, or with JSON the totals object.
    void printEnd(const RunReport& report);
    void clearProgress();
    /// Why the report could not be written to the output stream; empty while it could.
    const std::string& outputError() const { return m_outputError; }

private:
    void checkOutput();
    void printHuman(const FileResult& result);
    void printJson(const FileResult& result);

    const PrintStyle m_style;
    const int m_total;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_progressShown = false;
    std::string m_outputError;
};

} // namespace zendrow

#include "app/result_printer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "engine/display_text.h"

namespace zendrow {

namespace {

std::string hexOffset(std::uint64_t offset) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(offset));
    return text;
}

std::string kindName(ModuleKind kind) {
    return std::string(extensionOf(kind).substr(1));
}

// "(123456 bytes)" or "(123456 bytes, truncated: 789 bytes missing)".
std::string lengthText(const ModuleResult& module) {
    std::string text = "(" + std::to_string(module.length) + " bytes";
    if (module.missing > 0)
        text += ", truncated: " + std::to_string(module.missing) + " bytes missing";
    return text + ")";
}

// Bytes that are not valid UTF-8 (a Latin-1 file name) are shown as U+FFFD, never dropped.
std::string jsonLine(const nlohmann::ordered_json& object) {
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// True when the file itself failed (it could not be opened or read), whatever its modules did.
bool fileFailed(const FileResult& result) {
    return result.outcome == FileResult::Outcome::Failed &&
           std::none_of(result.modules.begin(), result.modules.end(),
                        [](const ModuleResult& m) { return m.status == ModuleResult::Status::Failed; });
}

} // namespace

ResultPrinter::ResultPrinter(PrintStyle style, int total, std::ostream& out, std::ostream& err)
    : m_style(style), m_total(total), m_out(out), m_err(err) {}

void ResultPrinter::fileDone(const FileResult& result, const RunCounts& counts) {
    clearProgress();
    print(result);
    if (!m_style.showProgress)
        return;
    const int done = counts.converted + counts.found + counts.skipped + counts.failed;
    m_err << "\r[" << std::min(done, m_total) << '/' << m_total << "] " << std::flush;
    m_progressShown = true;
}

void ResultPrinter::print(const FileResult& result) {
    if (m_style.json)
        printJson(result);
    else
        printHuman(result);
    checkOutput();
}

void ResultPrinter::checkOutput() {
    // Each file's lines are out before the next file, so that a report that cannot be written
    // (a full disk, a closed pipe) ends the run instead of converting unreported files.
    errno = 0;
    m_out.flush();
    if (!m_out && m_outputError.empty())
        m_outputError = errno != 0 ? std::strerror(errno) : "write error";
}

void ResultPrinter::printHuman(const FileResult& result) {
    const std::string source = displayName(result.sourcePath);
    if (result.modules.empty() || fileFailed(result)) {
        if (result.outcome == FileResult::Outcome::Failed)
            m_out << "failed     " << source << ": " << displayMessage(result.reason) << '\n';
        else if (!m_style.quiet)
            m_out << "skipped    " << source << " (no module)\n";
        if (result.modules.empty())
            return;
    }
    for (const ModuleResult& module : result.modules) {
        const std::string where = m_style.moduleDetails ? " @" + hexOffset(module.offset) : std::string();
        switch (module.status) {
        case ModuleResult::Status::Converted:
            if (m_style.quiet)
                break;
            m_out << "converted  " << source << where;
            if (m_style.moduleDetails)
                m_out << ' ' << lengthText(module);
            m_out << " -> " << displayName(module.outputPath) << '\n';
            break;
        case ModuleResult::Status::Found:
            if (m_style.quiet)
                break;
            m_out << "found      " << source << " @" << hexOffset(module.offset) << ' ' << lengthText(module) << ' '
                  << kindName(module.kind) << " \"" << displayMessage(module.title) << "\" -> "
                  << displayName(module.outputPath) << '\n';
            break;
        case ModuleResult::Status::Failed:
            m_out << "failed     " << source << where << ": " << displayMessage(module.reason) << '\n';
            break;
        }
    }
}

void ResultPrinter::printJson(const FileResult& result) {
    if (result.modules.empty() || fileFailed(result)) {
        nlohmann::ordered_json line{{"source", result.sourcePath},
                                    {"status", result.outcome == FileResult::Outcome::Failed ? "failed" : "skipped"}};
        if (result.outcome == FileResult::Outcome::Failed)
            line["reason"] = result.reason;
        m_out << jsonLine(line) << '\n';
        if (result.modules.empty())
            return;
    }
    for (const ModuleResult& module : result.modules) {
        const char* status = module.status == ModuleResult::Status::Converted ? "converted"
                             : module.status == ModuleResult::Status::Found   ? "found"
                                                                              : "failed";
        nlohmann::ordered_json line{{"source", result.sourcePath},
                                    {"kind", kindName(module.kind)},
                                    {"offset", module.offset},
                                    {"length", module.length},
                                    {"title", module.title},
                                    {"output", module.outputPath},
                                    {"status", status}};
        if (module.missing > 0)
            line["missing"] = module.missing;
        if (module.status == ModuleResult::Status::Failed)
            line["reason"] = module.reason;
        m_out << jsonLine(line) << '\n';
    }
}

void ResultPrinter::printEnd(const RunReport& report) {
    clearProgress();
    if (!m_style.json) {
        m_out << report.summary() << '\n';
        checkOutput();
        return;
    }
    const RunCounts& counts = report.counts;
    const nlohmann::ordered_json totals{{"converted", counts.converted},
                                        {"found", counts.found},
                                        {"skipped", counts.skipped},
                                        {"failed", counts.failed},
                                        {"truncated", counts.truncated}};
    m_out << jsonLine({{"totals", totals}}) << '\n';
    checkOutput();
}

void ResultPrinter::clearProgress() {
    if (m_progressShown)
        m_err << "\r\033[K" << std::flush;
    m_progressShown = false;
}

} // namespace zendrow

#include "ui/run_worker.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace zendrow::ui {

void RunWorker::setList(std::string folder, std::shared_ptr<const std::vector<std::string>> names,
                        std::vector<bool> selected) {
    const std::lock_guard lock(m_mutex);
    m_folder = std::move(folder);
    m_names = std::move(names);
    m_selected = std::move(selected);
}

void RunWorker::setSettings(const zendrow::RunSettings& settings) {
    const std::lock_guard lock(m_mutex);
    m_settings = settings;
}

int RunWorker::count() {
    const std::lock_guard lock(m_mutex);
    return int(m_names->size());
}

bool RunWorker::isSelected(int index) {
    const std::lock_guard lock(m_mutex);
    return index >= 0 && std::size_t(index) < m_selected.size() && m_selected[std::size_t(index)];
}

zendrow::RunItem RunWorker::item(int index) {
    const std::lock_guard lock(m_mutex);
    if (index < 0 || std::size_t(index) >= m_names->size())
        return {m_folder, std::string()};
    return {m_folder, (*m_names)[std::size_t(index)]};
}

int RunWorker::selectedCount() {
    const std::lock_guard lock(m_mutex);
    return int(std::count(m_selected.begin(), m_selected.end(), true));
}

void RunWorker::fileDone(const zendrow::FileResult&, const zendrow::RunCounts& counts) {
    emit fileFinished(counts.converted, counts.skipped);
}

void RunWorker::fileProgress(std::uint64_t done, std::uint64_t total) {
    // Reports come often within a long file; a new one only when the bar would move.
    const std::uint64_t step = total / 1000 + 1;
    if (done != total && done / step == m_lastProgress / step && done >= m_lastProgress)
        return;
    m_lastProgress = done;
    emit progressInFile(done, total);
}

void RunWorker::run() {
    try {
        m_report = zendrow::runConversion(
            *this,
            [this] {
                const std::lock_guard lock(m_mutex);
                return m_settings;
            },
            *this, m_fs);
    } catch (const std::exception& e) {
        m_error = QString::fromUtf8(e.what());
        if (m_error.isEmpty())
            m_error = QStringLiteral("An unexpected error occurred");
    } catch (...) {
        m_error = QStringLiteral("An unexpected error occurred");
    }
    emit finished();
}

} // namespace zendrow::ui

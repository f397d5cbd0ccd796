#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

#include "engine/conversion_run.h"

namespace zendrow::ui {

/// One conversion run, on a thread of its own: the window's file work never holds up its painting.
///
/// The window hands over what the run reads, on its own thread, whenever it changes: the list with
/// its selection, and the settings. The run reads the latest of each before every file, so a change
/// made during a run applies from the next file on, and the run never waits for the window. What
/// happens comes back as signals, which reach the window on its own thread.
class RunWorker : public QObject, private zendrow::RunItems, private zendrow::RunObserver {
    Q_OBJECT
public:
    explicit RunWorker(zendrow::FileSystem& fs) : m_fs(fs) {}

    /// The list the run goes through: its folder and its names as the file system's bytes, and for
    /// each name whether it is selected. Any thread.
    void setList(std::string folder, std::shared_ptr<const std::vector<std::string>> names, std::vector<bool> selected);
    /// The settings the next file follows. Any thread.
    void setSettings(const zendrow::RunSettings& settings);
    /// Ends the run as soon as it can: the file in hand is abandoned cleanly. Any thread.
    void requestStop() { m_stop = true; }
    bool stopRequested() override { return m_stop; }

    /// The run's outcome, once finished has been emitted.
    const zendrow::RunReport& report() const { return m_report; }
    /// What escaped the run, once finished has been emitted; empty when nothing did.
    const QString& error() const { return m_error; }

public slots:
    /// Runs the conversion; emits finished at the end, whatever happens.
    void run();

signals:
    void started(int selectedCount);
    /// A file is done; the counters so far.
    void fileFinished(int converted, int skipped);
    /// Within the file in hand: bytes done of total.
    void progressInFile(quint64 done, quint64 total);
    void finished();

private:
    int count() override;
    bool isSelected(int index) override;
    zendrow::RunItem item(int index) override;
    int selectedCount() override;

    void runStarted(int selectedCount) override { emit started(selectedCount); }
    void fileDone(const zendrow::FileResult& result, const zendrow::RunCounts& counts) override;
    void fileProgress(std::uint64_t done, std::uint64_t total) override;

    zendrow::FileSystem& m_fs;
    std::atomic<bool> m_stop = false;

    std::mutex m_mutex; // guards what the window hands over
    std::string m_folder;
    std::shared_ptr<const std::vector<std::string>> m_names = std::make_shared<const std::vector<std::string>>();
    std::vector<bool> m_selected;
    zendrow::RunSettings m_settings;

    std::uint64_t m_lastProgress = 0;
    zendrow::RunReport m_report;
    QString m_error;
};

} // namespace zendrow::ui

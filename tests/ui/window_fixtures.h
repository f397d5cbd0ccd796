#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <QScopeGuard>
#include <QString>
#include <QStringList>

#include "engine/file_system.h"
#include "ui/dialogs.h"

namespace zendrow::test {

/// Answers the window's dialogs from queues and records what the user would have seen.
class ScriptedDialogs : public ui::Dialogs {
public:
    std::deque<bool> answers;
    std::deque<std::optional<QString>> folders;
    bool openFolderFromSummary = false; ///< the summary's answer: "Open Folder" (true) or OK
    QStringList shown;
    QStringList errors;
    QStringList summaries;
    QStringList summaryDetails;
    QStringList openedFolders;
    /// Runs while the summary or an error box would be on screen.
    std::function<void()> onSummary;
    std::function<void()> onError;

    bool askYesNo(const QString& caption, const QString& text) override {
        shown << QStringLiteral("question [%1] %2").arg(caption, text);
        if (answers.empty()) {
            shown << QStringLiteral("unanswered question");
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool showSummary(const QString& text, const QString& details) override {
        shown << QStringLiteral("summary");
        summaries << text;
        summaryDetails << details;
        if (onSummary)
            onSummary();
        return openFolderFromSummary;
    }
    void showError(const QString& text) override {
        shown << QStringLiteral("error");
        errors << text;
        if (onError)
            onError();
    }
    std::optional<QString> chooseSourceFolder() override {
        shown << QStringLiteral("source chooser");
        return nextFolder();
    }
    std::optional<QString> chooseDestinationFolder(const QString& start, const QString& base) override {
        shown << QStringLiteral("destination chooser at %1 from %2").arg(start, base);
        return nextFolder();
    }
    void openFolder(const QString& folder) override {
        shown << QStringLiteral("open folder");
        openedFolders << folder;
    }

private:
    std::optional<QString> nextFolder() {
        if (folders.empty())
            return std::nullopt;
        const auto next = qScopeGuard([this] { folders.pop_front(); });
        return folders.front();
    }
};

/// The real disk, with hooks. The run calls them on its own thread: one runs before every source
/// file is opened; one open can be held until the test lets it go, so that the run stands still in
/// the middle while the test looks at the window. Folder creation can be refused, and is recorded.
class HookedDisk : public DiskFileSystem {
public:
    std::function<void(int openCount)> beforeOpen;
    std::atomic<int> opened = 0;
    bool refuseDirectories = false;
    std::vector<std::string> createdDirectories;

    /// The open with this count waits until release(); 0 holds none.
    void holdAt(int openCount) {
        const std::lock_guard lock(m_mutex);
        m_holdAt = openCount;
        m_released = false;
    }
    /// The copy of a piece of a module with this count (a long module is copied in pieces) waits
    /// until release(); 0 holds none.
    void holdCopyAt(int copyCount) {
        const std::lock_guard lock(m_mutex);
        m_holdCopyAt = copyCount;
        m_released = false;
    }
    /// True while the run waits at the held open.
    bool holding() const { return m_holding; }
    void release() {
        {
            const std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_wake.notify_all();
    }

    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) override {
        const int count = ++opened;
        if (beforeOpen)
            beforeOpen(count);
        wait(count == m_holdAt);
        return DiskFileSystem::openForReading(path, error);
    }
    bool copy(InputFile& from, std::uint64_t offset, std::uint64_t length, OutputFile& to,
              std::string& error) override {
        const int count = ++copies;
        wait(count == m_holdCopyAt);
        return DiskFileSystem::copy(from, offset, length, to, error);
    }
    bool createDirectories(const std::string& path, std::string& error) override {
        createdDirectories.push_back(path);
        if (refuseDirectories) {
            error = "Permission denied";
            return false;
        }
        return DiskFileSystem::createDirectories(path, error);
    }

    std::atomic<int> copies = 0;

private:
    void wait(bool hold) {
        if (!hold)
            return;
        std::unique_lock lock(m_mutex);
        m_holding = true;
        m_wake.wait(lock, [this] { return m_released; });
        m_holding = false;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_holdAt = 0;
    int m_holdCopyAt = 0;
    bool m_released = false;
    std::atomic<bool> m_holding = false;
};

} // namespace zendrow::test

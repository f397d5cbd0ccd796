#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

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

/// The real disk, with hooks: one runs before every source file is opened, so that a test can make
/// something happen in the middle of a run; folder creation can be refused, and is recorded.
class HookedDisk : public DiskFileSystem {
public:
    std::function<void(int openCount)> beforeOpen;
    int opened = 0;
    bool refuseDirectories = false;
    std::vector<std::string> createdDirectories;

    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) override {
        ++opened;
        if (beforeOpen)
            beforeOpen(opened);
        return DiskFileSystem::openForReading(path, error);
    }
    bool createDirectories(const std::string& path, std::string& error) override {
        createdDirectories.push_back(path);
        if (refuseDirectories) {
            error = "Permission denied";
            return false;
        }
        return DiskFileSystem::createDirectories(path, error);
    }
};

} // namespace zendrow::test

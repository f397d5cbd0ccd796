#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QScopeGuard>
#include <QStringList>
#include <QTimer>

#include "engine/file_system.h"
#include "ui/dialogs.h"

namespace zendrow::test {

/// An IT module: "IMPM", the title padded with NULs to its 26-byte field, then body.
inline QByteArray itModule(const QByteArray& title, const QByteArray& body = "it-body") {
    QByteArray module = "IMPM" + title;
    module.append(26 - title.size(), '\0');
    return module + body;
}

/// An S3M module: the title padded to 28 bytes, header bytes up to offset 44, "SCRM", then body.
inline QByteArray s3mModule(const QByteArray& title, const QByteArray& body = "s3m-body") {
    QByteArray module = title;
    module.append(44 - title.size(), '\0');
    return module + "SCRM" + body;
}

/// A container: a header of its own, then the module.
inline QByteArray container(const QByteArray& module, int prefix = 16) {
    return QByteArray(prefix, '\x7f') + module;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the fixture %s", qUtf8Printable(path));
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

/// Runs the event loop until it has gone idle twice: the window's idle refresh has run, and what
/// it changed has been handled. Does not depend on timing, so a busy machine cannot fool it.
inline void goIdle() {
    QEventLoop loop;
    int idleMoments = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
        if (++idleMoments >= 2)
            loop.quit();
        else
            QTimer::singleShot(0, &loop, [] {}); // wakes the loop for its second idle moment
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit); // a loop that never rests fails the test's checks
    loop.exec();
}

/// Runs the event loop for ms milliseconds.
inline void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

/// Answers the window's dialogs from queues and records what the user would have seen.
class ScriptedDialogs : public ui::Dialogs {
public:
    std::deque<bool> answers;
    std::deque<std::optional<QString>> folders;
    QStringList shown;
    QStringList errors;
    QStringList summaries;
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
    void showSummary(const QString& text) override {
        shown << QStringLiteral("summary");
        summaries << text;
        if (onSummary)
            onSummary();
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
    std::optional<QString> chooseDestinationFolder(const QString& start) override {
        shown << QStringLiteral("destination chooser at %1").arg(start);
        return nextFolder();
    }

private:
    std::optional<QString> nextFolder() {
        if (folders.empty())
            return std::nullopt;
        const auto next = qScopeGuard([this] { folders.pop_front(); });
        return folders.front();
    }
};

/// The real disk, with a hook that runs before every source file is opened, so that a test can
/// make something happen in the middle of a run.
class HookedDisk : public DiskFileSystem {
public:
    std::function<void(int openCount)> beforeOpen;
    int opened = 0;

    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) override {
        ++opened;
        if (beforeOpen)
            beforeOpen(opened);
        return DiskFileSystem::openForReading(path, error);
    }
};

} // namespace zendrow::test

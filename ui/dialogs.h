#pragma once

#include <optional>

#include <QString>

namespace zendrow::ui {

/// Every modal dialog the window opens, and every hand-over to the desktop, goes through here, so
/// that tests can answer them without a modal loop and see what the user would have been shown.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    /// A question with Yes and No buttons and a question-mark icon; true for Yes.
    virtual bool askYesNo(const QString& caption, const QString& text) = 0;
    /// The closing message of a run: caption "Conversion complete!", no icon, text, and details as
    /// its detailed text (none when empty); OK and "Open Folder" on one row. True when the user
    /// chose "Open Folder".
    virtual bool showSummary(const QString& text, const QString& details) = 0;
    /// The error display: text as given, caption "Zendrow", error icon, one OK button.
    virtual void showError(const QString& text) = 0;
    /// The source folder chooser ("Browse"); nothing when the user cancels.
    virtual std::optional<QString> chooseSourceFolder() = 0;
    /// The destination folder chooser ("Select Directory"), opened at start; a relative path is
    /// taken relative to base. The user may name a folder that does not exist yet; it is created,
    /// with any missing parents, once the user agrees.
    virtual std::optional<QString> chooseDestinationFolder(const QString& start, const QString& base) = 0;
    /// Shows folder in the desktop's file manager.
    virtual void openFolder(const QString& folder) = 0;
};

} // namespace zendrow::ui

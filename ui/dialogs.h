#pragma once

#include <optional>

#include <QString>

namespace zendrow::ui {

/// Every modal dialog the window opens goes through here, so that tests can answer them without
/// a modal loop and see what the user would have been shown.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    /// A question with Yes and No buttons and a question-mark icon; true for Yes.
    virtual bool askYesNo(const QString& caption, const QString& text) = 0;
    /// The closing message of a run: caption "Conversion complete!", no icon, one OK button.
    virtual void showSummary(const QString& text) = 0;
    /// The error display: text as given, caption "Zendrow", error icon, one OK button.
    virtual void showError(const QString& text) = 0;
    /// The source folder chooser ("Browse"); nothing when the user cancels.
    virtual std::optional<QString> chooseSourceFolder() = 0;
    /// The destination folder chooser ("Select Directory"), opened at start. The user may name a
    /// folder that does not exist yet; it is created, with any missing parents, once the user agrees.
    virtual std::optional<QString> chooseDestinationFolder(const QString& start) = 0;
};

} // namespace zendrow::ui

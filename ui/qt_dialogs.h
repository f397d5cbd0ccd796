#pragma once

#include <QPointer>
#include <QWidget>

#include "ui/dialogs.h"

namespace zendrow {
class FileSystem;
}

namespace zendrow::ui {

/// The dialogs as the user sees them, built from Qt's message boxes and folder choosers.
class QtDialogs : public Dialogs {
public:
    /// fs creates the folders the destination chooser is asked for. owner is the window that the
    /// application-modal dialogs belong to; it may be set later.
    explicit QtDialogs(zendrow::FileSystem& fs, QWidget* owner = nullptr) : m_fs(fs), m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    bool askYesNo(const QString& caption, const QString& text) override;
    bool showSummary(const QString& text, const QString& details) override;
    void showError(const QString& text) override;
    std::optional<QString> chooseSourceFolder() override;
    std::optional<QString> chooseDestinationFolder(const QString& start, const QString& base) override;
    void openFolder(const QString& folder) override;

private:
    zendrow::FileSystem& m_fs;
    QPointer<QWidget> m_owner;
};

} // namespace zendrow::ui

#pragma once

#include <QPointer>
#include <QWidget>

#include "ui/dialogs.h"

namespace zendrow::ui {

/// The dialogs as the user sees them, built from Qt's message boxes and folder choosers.
class QtDialogs : public Dialogs {
public:
    /// owner is the window that the application-modal dialogs belong to; it may be set later.
    explicit QtDialogs(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    bool askYesNo(const QString& caption, const QString& text) override;
    void showSummary(const QString& text) override;
    void showError(const QString& text) override;
    std::optional<QString> chooseSourceFolder() override;
    std::optional<QString> chooseDestinationFolder(const QString& start) override;

private:
    QPointer<QWidget> m_owner;
};

} // namespace zendrow::ui

#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "ui/folder_dialog.h"

namespace zendrow::ui {

namespace {

void showMessage(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace

bool QtDialogs::askYesNo(const QString& caption, const QString& text) {
    // No owner window: the question stands on its own, as the destination question of a run does.
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::showSummary(const QString& text) {
    showMessage(m_owner, QMessageBox::NoIcon, QStringLiteral("Conversion complete!"), text);
}

void QtDialogs::showError(const QString& text) {
    QWidget* owner = m_owner ? m_owner.data() : QApplication::activeWindow();
    showMessage(owner, QMessageBox::Critical, QStringLiteral("Zendrow"), text);
}

std::optional<QString> QtDialogs::chooseSourceFolder() {
    const QString folder =
        QFileDialog::getExistingDirectory(m_owner, QStringLiteral("Browse"), QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(folder);
}

std::optional<QString> QtDialogs::chooseDestinationFolder(const QString& start) {
    FolderDialog dialog(start, *this, m_owner);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.folder();
}

} // namespace zendrow::ui

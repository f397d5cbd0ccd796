#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "ui/folder_dialog.h"

namespace zendrow::ui {

bool QtDialogs::askYesNo(const QString& caption, const QString& text) {
    // No owner window: the question stands on its own, as the destination question of a run does.
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool QtDialogs::showSummary(const QString& text, const QString& details) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Conversion complete!"), text, QMessageBox::Ok, m_owner);
    box.setObjectName(QStringLiteral("summaryBox"));
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* openButton = box.addButton(QStringLiteral("Open Folder"), QMessageBox::AcceptRole);
    openButton->setObjectName(QStringLiteral("openFolderButton"));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
    return box.clickedButton() == openButton;
}

void QtDialogs::showError(const QString& text) {
    QWidget* owner = m_owner ? m_owner.data() : QApplication::activeWindow();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Zendrow"), text, QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

std::optional<QString> QtDialogs::chooseSourceFolder() {
    const QString folder =
        QFileDialog::getExistingDirectory(m_owner, QStringLiteral("Browse"), QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(folder);
}

std::optional<QString> QtDialogs::chooseDestinationFolder(const QString& start, const QString& base) {
    FolderDialog dialog(start, base, *this, m_fs, m_owner);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.folder();
}

void QtDialogs::openFolder(const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace zendrow::ui

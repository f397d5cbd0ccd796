#include "ui/folder_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/dialogs.h"

namespace zendrow::ui {

FolderDialog::FolderDialog(const QString& start, Dialogs& questions, QWidget* parent)
    : QDialog(parent), m_questions(questions) {
    setObjectName(QStringLiteral("FolderDialog"));
    setWindowTitle(QStringLiteral("Select Directory"));

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_model->setRootPath(QString());

    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("FolderTree"));
    m_tree->setAccessibleName(QStringLiteral("Folders"));
    m_tree->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);
    m_tree->header()->hide();

    auto* label = new QLabel(QStringLiteral("Folder:"), this);
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setObjectName(QStringLiteral("FolderEdit"));
    m_pathEdit->setAccessibleName(QStringLiteral("Folder"));
    label->setBuddy(m_pathEdit);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &FolderDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FolderDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree, 1);
    layout->addWidget(label);
    layout->addWidget(m_pathEdit);
    layout->addWidget(buttons);
    resize(360, 420);

    const QString startPath = QDir(QDir::currentPath()).absoluteFilePath(QDir::fromNativeSeparators(start));
    m_pathEdit->setText(QDir::toNativeSeparators(QDir::cleanPath(startPath)));
    const QModelIndex startIndex = m_model->index(startPath);
    if (startIndex.isValid()) {
        m_tree->setCurrentIndex(startIndex);
        m_tree->scrollTo(startIndex);
    }
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, &FolderDialog::showFolderOfTree);
}

QString FolderDialog::typedPath() const {
    const QString text = QDir::fromNativeSeparators(m_pathEdit->text().trimmed());
    return QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(text));
}

QString FolderDialog::folder() const {
    return QDir::toNativeSeparators(typedPath());
}

void FolderDialog::showFolderOfTree() {
    const QModelIndex index = m_tree->currentIndex();
    if (index.isValid())
        m_pathEdit->setText(QDir::toNativeSeparators(m_model->filePath(index)));
}

void FolderDialog::accept() {
    if (m_pathEdit->text().trimmed().isEmpty())
        return;
    const QString path = typedPath();
    const QFileInfo info(path);
    if (info.isDir()) {
        QDialog::accept();
        return;
    }
    if (info.exists() || info.isSymLink()) {
        m_questions.showError(QStringLiteral("\"%1\" is not a folder.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (!m_questions.askYesNo(QStringLiteral("Confirm"),
                              QStringLiteral("The specified directory does not exist. Create it?")))
        return;
    if (!QDir().mkpath(path)) {
        m_questions.showError(QStringLiteral("Cannot create the folder \"%1\".").arg(QDir::toNativeSeparators(path)));
        return;
    }
    QDialog::accept();
}

} // namespace zendrow::ui

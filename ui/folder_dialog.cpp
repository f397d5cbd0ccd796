#include "ui/folder_dialog.h"

#include <string>

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QVBoxLayout>

#include "engine/file_system.h"
#include "ui/dialogs.h"
#include "ui/engine_text.h"
#include "ui/error_display.h"

namespace zendrow::ui {

FolderDialog::FolderDialog(const QString& start, const QString& base, Dialogs& questions, zendrow::FileSystem& fs,
                           QWidget* parent)
    : QDialog(parent), m_questions(questions), m_fs(fs), m_base(base) {
    setObjectName(QStringLiteral("folderDialog"));
    setWindowTitle(QStringLiteral("Select Directory"));
    createWidgets();

    const QString startPath = QDir::cleanPath(QDir(m_base).absoluteFilePath(QDir::fromNativeSeparators(start)));
    m_pathEdit->setText(QDir::toNativeSeparators(startPath));
    m_startIndex = m_model->index(startPath);
    if (m_startIndex.isValid()) {
        m_tree->setCurrentIndex(m_startIndex);
        showStartFolder();
    }
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, &FolderDialog::showFolderOfTree);
    m_tree->installEventFilter(this);
    m_tree->viewport()->installEventFilter(this);
    // The model reads folders on a thread of its own, and sorts them later: every folder that
    // arrives above the start pushes it down, so it is brought back into view until the user moves
    // elsewhere.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, &FolderDialog::showStartFolder);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &FolderDialog::showStartFolder, Qt::QueuedConnection);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &FolderDialog::showStartFolder, Qt::QueuedConnection);
}

void FolderDialog::createWidgets() {
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_model->setRootPath(QString());

    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("folderTree"));
    m_tree->setAccessibleName(QStringLiteral("Folders"));
    m_tree->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);
    m_tree->header()->hide();

    auto* label = new QLabel(QStringLiteral("Folder:"), this);
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setObjectName(QStringLiteral("folderEdit"));
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
}

void FolderDialog::showStartFolder() {
    if (m_userMoved || !m_startIndex.isValid())
        return;
    // scrollTo opens the folders above the start as well.
    m_tree->scrollTo(m_startIndex, QAbstractItemView::PositionAtCenter);
}

bool FolderDialog::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        // The user is looking around the tree: it is no longer brought back to the start.
        m_userMoved = true;
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

QString FolderDialog::typedPath() const {
    const QString text = QDir::fromNativeSeparators(m_pathEdit->text().trimmed());
    return QDir::cleanPath(QDir(m_base).absoluteFilePath(text));
}

QString FolderDialog::folder() const {
    return QDir::toNativeSeparators(typedPath());
}

void FolderDialog::showFolderOfTree() {
    const QModelIndex index = m_tree->currentIndex();
    if (index != m_startIndex)
        m_userMoved = true;
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
    std::string error;
    if (!m_fs.createDirectories(toEngineText(path), error)) {
        m_questions.showError(
            errorDisplayText(QStringLiteral("Cannot create the folder \"%1\": %2")
                                 .arg(QDir::toNativeSeparators(path), QString::fromStdString(error))));
        return;
    }
    QDialog::accept();
}

} // namespace zendrow::ui

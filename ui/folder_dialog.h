#pragma once

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QLineEdit;
class QTreeView;

namespace zendrow::ui {

class Dialogs;

/// The destination chooser ("Select Directory"): a folder tree and a path field. The field also
/// takes the name of a folder that does not exist yet; accepting it asks first and then creates it
/// together with any missing parents.
class FolderDialog : public QDialog {
    Q_OBJECT
public:
    /// questions answers the create question and shows a failure to create.
    FolderDialog(const QString& start, Dialogs& questions, QWidget* parent = nullptr);

    /// The chosen folder, absolute, in the platform's own separators.
    QString folder() const;
    QLineEdit* pathEdit() const { return m_pathEdit; }

    void accept() override;

private:
    void showFolderOfTree();
    QString typedPath() const;

    Dialogs& m_questions;
    QFileSystemModel* m_model;
    QTreeView* m_tree;
    QLineEdit* m_pathEdit;
};

} // namespace zendrow::ui

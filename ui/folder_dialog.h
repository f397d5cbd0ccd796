#pragma once

#include <QDialog>
#include <QPersistentModelIndex>
#include <QString>

class QFileSystemModel;
class QLineEdit;
class QTreeView;

namespace zendrow {
class FileSystem;
}

namespace zendrow::ui {

class Dialogs;

/// The destination chooser ("Select Directory"): a folder tree and a path field. The field also
/// takes the name of a folder that does not exist yet; accepting it asks first and then creates it
/// together with any missing parents.
class FolderDialog : public QDialog {
    Q_OBJECT
public:
    /// The tree opens at start, shown in view; a relative path typed in the field is taken relative
    /// to base. questions answers the create question and shows a failure to create; fs creates.
    FolderDialog(const QString& start, const QString& base, Dialogs& questions, zendrow::FileSystem& fs,
                 QWidget* parent = nullptr);

    /// The chosen folder, absolute, in the platform's own separators.
    QString folder() const;

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createWidgets();
    void showStartFolder();
    void showFolderOfTree();
    QString typedPath() const;

    Dialogs& m_questions;
    zendrow::FileSystem& m_fs;
    QString m_base;
    QFileSystemModel* m_model = nullptr;
    QTreeView* m_tree = nullptr;
    QLineEdit* m_pathEdit = nullptr;
    QPersistentModelIndex m_startIndex;
    bool m_userMoved = false;
};

} // namespace zendrow::ui

#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QListView>
#include <QString>

namespace zendrow {
class FileSystem;
}

namespace zendrow::ui {

class FileListModel;
class FolderPreload;

/// The list of candidate source files: the plain files of one folder that match a mask, by name
/// ignoring case, flowing in columns. Each name is kept as the file system's own bytes beside the
/// text shown, so a name that is not valid UTF-8 still reaches the engine as it is.
class FileList : public QListView {
    Q_OBJECT
public:
    /// fs is where the folder is read.
    explicit FileList(zendrow::FileSystem& fs, QWidget* parent = nullptr);

    /// Where the first folder shown may have been read already; nothing means no such place.
    void setPreload(FolderPreload* preload) { m_preload = preload; }

    /// The folder shown, absolute; at start the working directory.
    QString directory() const { return m_directory; }
    /// path made absolute against the folder shown, as a relative destination or typed path means.
    QString absolutePath(const QString& path) const;
    /// Shows folder (absolute, or relative to the folder shown). False with error set, and nothing
    /// changed, when it cannot be read.
    bool setDirectory(const QString& folder, QString& error);

    QString mask() const { return m_mask; }
    bool setMask(const QString& mask, QString& error);

    /// Reads the folder again.
    bool reload(QString& error);

    int itemCount() const;
    /// The name as shown.
    QString itemText(int index) const;
    /// The name as the file system has it, for the engine.
    std::string itemName(int index) const;
    bool isItemSelected(int index) const;
    void setItemSelected(int index, bool selected);
    int selectedCount() const;
    /// Every name as the file system has it, shared: it stays as it is when the list changes.
    std::shared_ptr<const std::vector<std::string>> itemNames() const;
    /// For each item, whether it is selected.
    std::vector<bool> selectedItems() const;
    /// Selects exactly the items whose shown names are in names; the first becomes the current one.
    void selectNames(const QStringList& names);

    /// Applies a typed path, absolute or relative to the folder shown: a folder is shown; a last
    /// element with "*" or "?" becomes the mask; an existing file's folder is shown with that file
    /// focused (not selected). Text naming nothing is refused with error set, and the list keeps
    /// its folder. Empty text changes nothing.
    bool applyFilePath(const QString& text, QString& error);

    /// Moves to the current folder of drive letter (Windows; splitDriveStep says when).
    bool selectDrive(QChar letter, QString& error);

    /// Names flow in one column per 100 pixels of the list's width, at least one.
    int columns() const { return m_columns; }

    /// Room for two rows and a scroll bar: the list gives way first when the window is made small.
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool showFolder(const QString& folder, const QString& mask, QString& error);
    void updateGrid();
    int rowHeight() const;

    zendrow::FileSystem& m_fs;
    FileListModel* m_model;
    FolderPreload* m_preload = nullptr;
    QString m_directory;
    QString m_mask;
    int m_columns = 3;
};

} // namespace zendrow::ui

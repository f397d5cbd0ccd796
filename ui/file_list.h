#pragma once

#include <QListWidget>
#include <QString>

namespace zendrow {
class FileSystem;
}

namespace zendrow::ui {

/// The list of candidate source files: the plain files of one folder that match a mask, by name
/// ignoring case, flowing in columns. The process's working directory follows the folder it shows,
/// so a relative destination means a folder next to the sources.
class FileList : public QListWidget {
    Q_OBJECT
public:
    /// fs is where the folder is read.
    explicit FileList(zendrow::FileSystem& fs, QWidget* parent = nullptr);

    /// The folder shown, absolute; at start the working directory.
    QString directory() const { return m_directory; }
    /// Shows folder (absolute, or relative to the folder shown). False with error set, and nothing
    /// changed, when it cannot be read or made the working directory.
    bool setDirectory(const QString& folder, QString& error);

    QString mask() const { return m_mask; }
    bool setMask(const QString& mask, QString& error);

    /// Reads the folder again.
    bool reload(QString& error);

    int itemCount() const { return count(); }
    QString itemText(int index) const;
    bool isItemSelected(int index) const;
    void setItemSelected(int index, bool selected);
    int selectedCount() const;

    /// Applies a typed path, absolute or relative to the folder shown: a folder is shown; a last
    /// element with "*" or "?" becomes the mask; an existing file's folder is shown with that file
    /// focused (not selected). Text naming nothing is refused with error set, and the list keeps
    /// its folder. Empty text changes nothing.
    bool applyFilePath(const QString& text, QString& error);

    /// Moves to the current folder of drive letter (Windows; splitDriveStep says when).
    bool selectDrive(QChar letter, QString& error);

    void takeFocus() { setFocus(Qt::OtherFocusReason); }

    int columns() const { return m_columns; }
    /// Names flow in this many columns across the list's width; at least 1.
    void setColumns(int columns);

    /// Room for two rows and a scroll bar: the list gives way first when the window is made small.
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool showFolder(const QString& folder, const QString& mask, QString& error);
    /// path made absolute against the folder shown.
    QString resolve(const QString& path) const;
    void updateGrid();
    int rowHeight() const;

    zendrow::FileSystem& m_fs;
    QString m_directory;
    QString m_mask;
    int m_columns = 3;
};

} // namespace zendrow::ui

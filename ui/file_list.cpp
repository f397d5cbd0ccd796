#include "ui/file_list.h"

#include <algorithm>
#include <string>
#include <vector>

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QStyle>

#include "engine/folder_listing.h"

namespace zendrow::ui {

namespace {

QString notFoundError(const QString& text) {
    return QStringLiteral("The folder or file \"%1\" does not exist.").arg(text);
}

} // namespace

FileList::FileList(zendrow::FileSystem& fs, QWidget* parent)
    : QListWidget(parent), m_fs(fs), m_directory(QDir::currentPath()),
      m_mask(QString::fromUtf8(zendrow::kDefaultMask.data(), qsizetype(zendrow::kDefaultMask.size()))) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideRight);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    updateGrid();
}

QString FileList::resolve(const QString& path) const {
    // QFileInfo resolves what QDir leaves alone on Windows: "E:" (that drive's current folder)
    // and "\music" (the root of the current drive).
    return QDir::cleanPath(QFileInfo(QDir(m_directory), path).absoluteFilePath());
}

bool FileList::setDirectory(const QString& folder, QString& error) {
    return showFolder(folder, m_mask, error);
}

bool FileList::setMask(const QString& mask, QString& error) {
    return showFolder(m_directory, mask, error);
}

bool FileList::reload(QString& error) {
    return showFolder(m_directory, m_mask, error);
}

bool FileList::showFolder(const QString& folder, const QString& mask, QString& error) {
    const QString absolute = resolve(folder);
    std::vector<std::string> names;
    std::string listError;
    if (!zendrow::listMatchingFiles(m_fs, absolute.toStdString(), mask.toStdString(), names, listError)) {
        error = QStringLiteral("Cannot read the folder \"%1\": %2")
                    .arg(QDir::toNativeSeparators(absolute), QString::fromStdString(listError));
        return false;
    }
    // A relative destination is resolved against the working directory, so it must be the folder
    // that the user sees.
    if (!QDir::setCurrent(absolute)) {
        error = QStringLiteral("Cannot make \"%1\" the working folder.").arg(QDir::toNativeSeparators(absolute));
        return false;
    }
    m_directory = absolute;
    m_mask = mask;
    clear();
    for (const std::string& name : names)
        addItem(QString::fromStdString(name));
    return true;
}

QString FileList::itemText(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

bool FileList::isItemSelected(int index) const {
    const QListWidgetItem* it = item(index);
    return it && it->isSelected();
}

void FileList::setItemSelected(int index, bool selected) {
    if (QListWidgetItem* it = item(index))
        it->setSelected(selected);
}

int FileList::selectedCount() const {
    return int(selectionModel()->selectedIndexes().size());
}

bool FileList::applyFilePath(const QString& text, QString& error) {
    if (text.isEmpty())
        return true;
    const QString path = resolve(QDir::fromNativeSeparators(text));
    const QFileInfo info(path);
    const QString last = info.fileName();
    if (last.contains(u'*') || last.contains(u'?')) {
        if (!QFileInfo(info.path()).isDir()) {
            error = notFoundError(text);
            return false;
        }
        return showFolder(info.path(), last, error);
    }
    if (info.isDir())
        return showFolder(path, m_mask, error);
    if (!info.exists()) {
        error = notFoundError(text);
        return false;
    }
    if (!showFolder(info.path(), m_mask, error))
        return false;
    // The file is focused, not selected: the user decides what to convert.
    const QList<QListWidgetItem*> found = findItems(last, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (!found.isEmpty()) {
        setCurrentItem(found.first(), QItemSelectionModel::NoUpdate);
        scrollToItem(found.first());
    }
    return true;
}

bool FileList::selectDrive(QChar letter, QString& error) {
    return applyFilePath(QString(letter) + u':', error);
}

void FileList::setColumns(int columns) {
    columns = std::max(1, columns);
    if (columns == m_columns)
        return;
    m_columns = columns;
    updateGrid();
}

void FileList::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    updateGrid();
}

void FileList::changeEvent(QEvent* event) {
    QListWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateGrid();
}

int FileList::rowHeight() const {
    return fontMetrics().height() + 4;
}

QSize FileList::minimumSizeHint() const {
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return {QListWidget::minimumSizeHint().width(), 2 * frameWidth() + 2 * rowHeight() + scrollBar};
}

void FileList::updateGrid() {
    // Every column gets an equal share of the width, rounded up so that no sliver of a further
    // column shows at the right edge; a row is as tall as the font needs.
    const int width = viewport()->width();
    const QSize grid(std::max(1, (width + m_columns - 1) / m_columns), rowHeight());
    if (grid != gridSize())
        setGridSize(grid);
}

} // namespace zendrow::ui

#include "ui/file_list.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QStyle>

#include "engine/folder_listing.h"
#include "ui/engine_text.h"
#include "ui/file_list_model.h"
#include "ui/folder_preload.h"

namespace zendrow::ui {

namespace {

constexpr int kColumnWidth = 100;

QString notFoundError(const QString& text) {
    return QStringLiteral("The folder or file \"%1\" does not exist.").arg(text);
}

} // namespace

FileList::FileList(zendrow::FileSystem& fs, QWidget* parent)
    : QListView(parent), m_fs(fs), m_model(new FileListModel(this)), m_directory(QDir::currentPath()),
      m_mask(QString::fromUtf8(zendrow::kDefaultMask.data(), qsizetype(zendrow::kDefaultMask.size()))) {
    setModel(m_model);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideRight);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    updateGrid();
}

QString FileList::absolutePath(const QString& path) const {
    // QFileInfo resolves what QDir leaves alone on Windows: "E:" (that drive's current folder)
    // and "\music" (the root of the current drive).
    return QDir::cleanPath(QFileInfo(QDir(m_directory), QDir::fromNativeSeparators(path)).absoluteFilePath());
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
    const QString absolute = absolutePath(folder);
    std::vector<std::string> names;
    std::string listError;
    FolderPreload* preload = std::exchange(m_preload, nullptr);
    if (!(preload && preload->take(toEngineText(absolute), toEngineText(mask), names)) &&
        !zendrow::listMatchingFiles(m_fs, toEngineText(absolute), toEngineText(mask), names, listError)) {
        error = QStringLiteral("Cannot read the folder \"%1\": %2")
                    .arg(QDir::toNativeSeparators(absolute), QString::fromStdString(listError));
        return false;
    }
    m_directory = absolute;
    m_mask = mask;
    m_model->setNames(std::move(names));
    return true;
}

int FileList::itemCount() const {
    return m_model->rowCount();
}

QString FileList::itemText(int index) const {
    return m_model->text(index);
}

std::string FileList::itemName(int index) const {
    return m_model->name(index);
}

bool FileList::isItemSelected(int index) const {
    return selectionModel()->isSelected(m_model->index(index));
}

void FileList::setItemSelected(int index, bool selected) {
    const QModelIndex item = m_model->index(index);
    if (item.isValid())
        selectionModel()->select(item, selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

int FileList::selectedCount() const {
    // The count selectedIndexes() would give, without building an index per item: Select all over
    // a large folder is one range.
    int count = 0;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        count += range.height();
    return count;
}

std::shared_ptr<const std::vector<std::string>> FileList::itemNames() const {
    return m_model->names();
}

std::vector<bool> FileList::selectedItems() const {
    std::vector<bool> selected(std::size_t(itemCount()), false);
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (row >= 0 && std::size_t(row) < selected.size())
                selected[std::size_t(row)] = true;
        }
    }
    return selected;
}

void FileList::selectNames(const QStringList& names) {
    QItemSelection selection;
    QModelIndex first;
    for (const QString& name : names) {
        const int row = m_model->rowOfText(name);
        if (row < 0)
            continue;
        const QModelIndex index = m_model->index(row);
        selection.select(index, index);
        if (!first.isValid())
            first = index;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (first.isValid()) {
        selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        scrollTo(first);
    }
}

bool FileList::applyFilePath(const QString& text, QString& error) {
    if (text.isEmpty())
        return true;
    const QString path = absolutePath(text);
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
    const int row = m_model->rowOfText(last);
    if (row >= 0) {
        selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::NoUpdate);
        scrollTo(m_model->index(row));
    }
    return true;
}

bool FileList::selectDrive(QChar letter, QString& error) {
    return applyFilePath(QString(letter) + u':', error);
}

void FileList::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    m_columns = std::max(1, width() / kColumnWidth);
    updateGrid();
}

void FileList::changeEvent(QEvent* event) {
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateGrid();
}

int FileList::rowHeight() const {
    return fontMetrics().height() + 4;
}

QSize FileList::minimumSizeHint() const {
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return {QListView::minimumSizeHint().width(), 2 * frameWidth() + 2 * rowHeight() + scrollBar};
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

#include "ui/file_list_model.h"

#include <utility>

#include "ui/engine_text.h"

namespace zendrow::ui {

void FileListModel::setNames(std::vector<std::string> names) {
    beginResetModel();
    m_names = std::make_shared<const std::vector<std::string>>(std::move(names));
    endResetModel();
}

std::string FileListModel::name(int row) const {
    return row >= 0 && std::size_t(row) < m_names->size() ? (*m_names)[std::size_t(row)] : std::string();
}

QString FileListModel::text(int row) const {
    // Made when asked: the view asks only for the names it shows.
    return row >= 0 && std::size_t(row) < m_names->size() ? fromEngineText((*m_names)[std::size_t(row)]) : QString();
}

int FileListModel::rowOfText(const QString& text) const {
    for (std::size_t row = 0; row < m_names->size(); ++row) {
        if (fromEngineText((*m_names)[row]) == text)
            return int(row);
    }
    return -1;
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_names->size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return text(index.row());
    return {};
}

} // namespace zendrow::ui

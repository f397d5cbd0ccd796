#include "ui/file_list_model.h"

#include <utility>

#include "ui/engine_text.h"

namespace zendrow::ui {

void FileListModel::setNames(std::vector<std::string> names) {
    beginResetModel();
    m_names = std::move(names);
    m_texts.clear();
    m_texts.reserve(m_names.size());
    for (const std::string& name : m_names)
        m_texts.push_back(fromEngineText(name));
    endResetModel();
}

std::string FileListModel::name(int row) const {
    return row >= 0 && std::size_t(row) < m_names.size() ? m_names[std::size_t(row)] : std::string();
}

QString FileListModel::text(int row) const {
    return row >= 0 && std::size_t(row) < m_texts.size() ? m_texts[std::size_t(row)] : QString();
}

int FileListModel::rowOfText(const QString& text) const {
    for (std::size_t row = 0; row < m_texts.size(); ++row) {
        if (m_texts[row] == text)
            return int(row);
    }
    return -1;
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_names.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return m_texts[std::size_t(index.row())];
    return {};
}

} // namespace zendrow::ui

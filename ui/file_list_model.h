#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QAbstractListModel>
#include <QString>

namespace zendrow::ui {

/// The names of the file list: each kept as the file system's own bytes, which go to the engine,
/// and shown as text. A folder's names arrive at once, so the view lays out once.
class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit FileListModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    /// Replaces every name; names are the file system's bytes, in the order to show.
    void setNames(std::vector<std::string> names);

    /// Every name, as the file system has them; the same object until the names are replaced, so
    /// that a run on another thread can keep reading the list it was given.
    std::shared_ptr<const std::vector<std::string>> names() const { return m_names; }
    /// The name as the file system has it; empty for a row that does not exist.
    std::string name(int row) const;
    /// The name as shown.
    QString text(int row) const;
    /// The first row showing text exactly, or -1.
    int rowOfText(const QString& text) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const std::vector<std::string>> m_names = std::make_shared<const std::vector<std::string>>();
};

} // namespace zendrow::ui

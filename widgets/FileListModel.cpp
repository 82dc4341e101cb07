#include "FileListModel.h"

namespace varnex {

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
    return {};
  }
  const std::string_view entry = Entry(index.row());
  return QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
}

void FileListModel::SetEntries(NameList entries) {
  beginResetModel();
  entries_ = std::move(entries);
  endResetModel();
}

int FileListModel::FindExact(std::string_view name) const {
  for (std::size_t row = 0; row < entries_.size(); ++row) {
    if (entries_[row] == name) {
      return static_cast<int>(row);
    }
  }
  return -1;
}

}  // namespace varnex

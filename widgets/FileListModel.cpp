#include "FileListModel.h"

#include <algorithm>

namespace varnex {

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
    return {};
  }
  const std::string& entry = entries_[static_cast<std::size_t>(index.row())];
  return QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
}

void FileListModel::SetEntries(std::vector<std::string> entries) {
  beginResetModel();
  entries_ = std::move(entries);
  endResetModel();
}

int FileListModel::FindExact(std::string_view name) const {
  const auto found = std::find(entries_.begin(), entries_.end(), name);
  return found == entries_.end() ? -1 : static_cast<int>(found - entries_.begin());
}

}  // namespace varnex

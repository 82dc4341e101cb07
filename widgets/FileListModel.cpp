#include "FileListModel.h"

namespace varnex {

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
    return {};
  }
  const std::string_view entry = Entry(index.row());
  return QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
}

std::vector<std::string> FileListModel::Entries() const {
  std::vector<std::string> entries;
  entries.reserve(order_.size());
  for (const std::size_t index : order_) {
    entries.emplace_back(names_[index]);
  }
  return entries;
}

void FileListModel::SetEntries(NameList names, std::vector<std::size_t> order) {
  beginResetModel();
  names_ = std::move(names);
  order_ = std::move(order);
  endResetModel();
}

int FileListModel::FindExact(std::string_view name) const {
  for (std::size_t row = 0; row < order_.size(); ++row) {
    if (names_[order_[row]] == name) {
      return static_cast<int>(row);
    }
  }
  return -1;
}

}  // namespace varnex

#pragma once

#include <QAbstractListModel>
#include <string>
#include <string_view>
#include <vector>

#include "widgets/NameList.h"

namespace varnex {

// The entries of the file list, each the bytes of a name; the text shown is made only for the rows
// on screen, so a list of a hundred thousand names costs little more than their bytes.
class FileListModel final : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  std::vector<std::string> Entries() const;
  std::string_view Entry(int row) const { return names_[order_[static_cast<std::size_t>(row)]]; }
  // The names in the order of `order`, which holds the index of each name once.
  void SetEntries(NameList names, std::vector<std::size_t> order);
  void Clear() { SetEntries({}, {}); }

  // The row whose entry equals `name` byte for byte, or -1.
  int FindExact(std::string_view name) const;

 private:
  NameList names_;
  std::vector<std::size_t> order_;
};

}  // namespace varnex

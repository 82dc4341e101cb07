#include "TFileListBox.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/Exception.h"
#include "platform/fs/CaseFold.h"
#include "platform/fs/PathRules.h"
#include "platform/fs/Wildcard.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorReport.h"

namespace varnex {

namespace {

constexpr int kItemHeight = 13;
constexpr std::size_t kHourglassPosition = 100;
constexpr std::uint32_t kAttributeBits = 0x3F;

// Rows of 13 pixels, the name 2 pixels from the left edge at the row's top.
class FileListDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return {option.rect.width(), kItemHeight};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
      painter->fillRect(option.rect, option.palette.highlight());
    }
    painter->setPen(selected ? option.palette.highlightedText().color()
                             : option.palette.text().color());
    painter->drawText(option.rect.adjusted(2, 0, 0, 0),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, index.data().toString());
  }
};

std::vector<std::string> SplitMask(const std::string& mask) {
  std::vector<std::string> patterns;
  std::size_t start = 0;
  for (std::size_t end; (end = mask.find(';', start)) != std::string::npos; start = end + 1) {
    patterns.push_back(mask.substr(start, end - start));
  }
  patterns.push_back(mask.substr(start));
  return patterns;
}

// Indices of `names` in the list's order: case ignored, then bytes, then arrival.
std::vector<std::size_t> SortedOrder(const std::vector<std::string>& names) {
  struct Item {
    std::size_t keyStart;
    std::size_t keyLength;
    std::size_t arrival;
  };
  std::string keys;
  std::vector<Item> items;
  items.reserve(names.size());
  for (std::size_t arrival = 0; arrival < names.size(); ++arrival) {
    const std::size_t start = keys.size();
    AppendCaseFoldedKey(keys, names[arrival]);
    items.push_back({start, keys.size() - start, arrival});
  }
  const std::string_view allKeys = keys;
  std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
    const int byKey =
        allKeys.substr(a.keyStart, a.keyLength).compare(allKeys.substr(b.keyStart, b.keyLength));
    if (byKey != 0) {
      return byKey < 0;
    }
    if (const int byBytes = names[a.arrival].compare(names[b.arrival]); byBytes != 0) {
      return byBytes < 0;
    }
    return a.arrival < b.arrival;
  });
  std::vector<std::size_t> order;
  order.reserve(items.size());
  for (const Item& item : items) {
    order.push_back(item.arrival);
  }
  return order;
}

// Whether inserting the names one by one, in arrival order, each at its sorted place, puts one of
// them at `position`. A Fenwick tree over the final ranks counts the earlier names before each, so
// the answer costs n log n instead of the n^2 of really inserting.
bool SomeInsertionLandsAt(const std::vector<std::size_t>& order, std::size_t position) {
  if (order.size() <= position) {
    return false;
  }
  std::vector<std::size_t> rankByArrival(order.size());
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    rankByArrival[order[rank]] = rank;
  }
  std::vector<std::size_t> tree(order.size() + 1, 0);
  for (const std::size_t rank : rankByArrival) {
    std::size_t before = 0;
    for (std::size_t i = rank; i > 0; i &= i - 1) {
      before += tree[i];
    }
    if (before == position) {
      return true;
    }
    for (std::size_t i = rank + 1; i < tree.size(); i += i & (~i + 1)) {
      ++tree[i];
    }
  }
  return false;
}

}  // namespace

TFileListBox::TFileListBox(FileSystem& fs, QWidget* parent)
    : QListView(parent), fs_(fs), model_(this), folderPath_(fs.CurrentDirectory()) {
  setModel(&model_);
  setItemDelegate(new FileListDelegate(this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TFileListBox::SetMask(const std::string& mask) {
  if (mask != mask_) {
    mask_ = mask;
    RefillList();
  }
}

void TFileListBox::SetFileType(TFileType fileType) {
  if (fileType != fileType_) {
    fileType_ = fileType;
    RefillList();
  }
}

void TFileListBox::RefillList() {
  if (!windowCreated_) {
    return;
  }
  const std::uint32_t attributeWord = fileType_ & kAttributeBits;
  fs_.SetCurrentDirectory(folderPath_);
  model_.Clear();
  BusyCursor cursor(BusyCursor::When::OnShow);
  std::vector<std::string> names = SearchEntries(attributeWord);
  const std::vector<std::size_t> order = SortedOrder(names);
  if (SomeInsertionLandsAt(order, kHourglassPosition)) {
    cursor.Show();
  }
  std::vector<std::string> sorted;
  sorted.reserve(names.size());
  for (const std::size_t index : order) {
    sorted.push_back(std::move(names[index]));
  }
  model_.SetEntries(std::move(sorted));
}

// The admitted names of every pattern of the mask, in the order the searches give them; a name
// that two patterns match comes twice.
std::vector<std::string> TFileListBox::SearchEntries(std::uint32_t attributeWord) {
  std::vector<std::string> names;
  for (const std::string& pattern : SplitMask(mask_)) {
    const auto search = fs_.Find(pattern, attributeWord);
    while (auto entry = search->Next()) {
      if (!(fileType_ & ftNormal) && !(entry->attributes & attributeWord)) {
        continue;
      }
      if (entry->attributes & faDirectory) {
        names.push_back("[" + entry->name + "]");
      } else {
        names.push_back(std::move(entry->name));
      }
    }
  }
  return names;
}

void TFileListBox::ChangeFolder(const std::string& path) {
  if (path == folderPath_) {
    return;
  }
  if (IsExistingFolder(fs_, folderPath_)) {
    fs_.SetCurrentDirectory(folderPath_);
  }
  fs_.SetCurrentDirectory(path);
  folderPath_ = fs_.CurrentDirectory();
  RefillList();
}

void TFileListBox::ApplyPath(const std::string& text) {
  if (text.empty() || text == SelectedFilePath()) {
    return;
  }
  const SplitPathResult split = SplitPath(fs_, text);
  ChangeFolder(split.folder);
  const std::string& lastPart = split.lastPart;
  if (HasWildcards(lastPart)) {
    SetMask(lastPart);
  } else if (!lastPart.empty()) {
    SelectByName(lastPart);
    if (!IsExistingFile(fs_, JoinPath(folderPath_, lastPart))) {
      throw EInvalidOperation("Invalid file name - " + text);
    }
    if (SelectedFileName().empty()) {
      SetMask(lastPart);
      SelectByName(lastPart);
    }
  }
}

void TFileListBox::SelectByName(const std::string& name) {
  if (name == SelectedFileName()) {
    return;
  }
  const int row = model_.FindExact(name);
  if (row < 0) {
    clearSelection();
    setCurrentIndex({});
    return;
  }
  const QModelIndex index = model_.index(row);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index);
}

std::string TFileListBox::SelectedFileName() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  if (selected.isEmpty()) {
    return {};
  }
  return model_.Entries()[static_cast<std::size_t>(selected.front().row())];
}

std::string TFileListBox::SelectedFilePath() const {
  const std::string name = SelectedFileName();
  return name.empty() ? std::string() : JoinPath(folderPath_, name);
}

// The list is first read when its window comes to exist; until then a new mask or folder is only
// stored, so start-up reads the folder once, with everything in force by then.
void TFileListBox::showEvent(QShowEvent* event) {
  QListView::showEvent(event);
  if (!windowCreated_) {
    windowCreated_ = true;
    ReportingFailures([this] { RefillList(); });
  }
}

void TFileListBox::keyPressEvent(QKeyEvent* event) {
  const QModelIndex before = currentIndex();
  QListView::keyPressEvent(event);
  if (currentIndex() != before && currentIndex().isValid()) {
    Notify(OnClick);
  }
}

void TFileListBox::mousePressEvent(QMouseEvent* event) {
  QListView::mousePressEvent(event);
  if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
    Notify(OnClick);
  }
}

void TFileListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) {
    Notify(OnDblClick);
  }
}

void TFileListBox::Notify(const TNotifyEvent& event) {
  if (event) {
    event(this);
  }
}

}  // namespace varnex

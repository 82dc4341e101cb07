#include "TFileListBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/Exception.h"
#include "platform/fs/PathRules.h"
#include "platform/fs/Wildcard.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorReport.h"
#include "widgets/KeyPress.h"
#include "widgets/NameOrder.h"

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
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    if (selected) {
      painter->fillRect(option.rect, option.palette.highlight());
    }
    painter->setPen(selected ? option.palette.highlightedText().color()
                             : option.palette.text().color());
    painter->drawText(option.rect.adjusted(2, 0, 0, 0),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, index.data().toString());
    // Where the keyboard is: a frame on the current row while the list has the focus.
    if (option.state.testFlag(QStyle::State_HasFocus)) {
      QStyleOptionFocusRect frame;
      frame.rect = option.rect;
      frame.palette = option.palette;
      frame.direction = option.direction;
      // Drawn for a focus that came by mouse too, where styles keep it for the keyboard only.
      frame.state = option.state | QStyle::State_KeyboardFocusChange;
      frame.backgroundColor =
          selected ? option.palette.highlight().color() : option.palette.base().color();
      const QWidget* view = option.widget;
      QStyle* style = view != nullptr ? view->style() : QApplication::style();
      style->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, painter, view);
    }
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

// Tells, name by name as the folder is read, when one lands at `position` of the list, each being
// inserted at its sorted place among the names read before it. Only the first position + 1 names
// in the list's order can decide that, so only they are kept.
class InsertionWatch {
 public:
  InsertionWatch(const NameOrder& order, std::size_t position)
      : order_(order), limit_(position + 1) {}

  // Whether `name`, read now, goes to the position watched for.
  bool LandsAtPosition(std::string_view name) {
    order_.Prepare(name, *read_);
    // A later name goes after the names equal to it.
    const auto before = [this](const std::unique_ptr<NameOrder::Name>& a,
                               const std::unique_ptr<NameOrder::Name>& b) {
      return order_.Compare(*a, *b) < 0;
    };
    if (first_.size() == limit_ && !before(read_, first_.back())) {
      return false;
    }
    // Names mostly arrive at one end or the other, so the front is tried before a search.
    const auto place = first_.empty() || before(read_, first_.front())
                           ? first_.begin()
                           : std::upper_bound(first_.begin(), first_.end(), read_, before);
    const bool lands = static_cast<std::size_t>(place - first_.begin()) == limit_ - 1;
    first_.insert(place, std::move(read_));
    if (first_.size() > limit_) {
      read_ = std::move(first_.back());
      first_.pop_back();
    } else {
      read_ = std::make_unique<NameOrder::Name>();
    }
    return lands;
  }

 private:
  const NameOrder& order_;
  std::size_t limit_;
  // The first names in the list's order, sorted, by pointer: a name going in among them moves
  // pointers, not its three buffers.
  std::vector<std::unique_ptr<NameOrder::Name>> first_;
  // The name read last; most go no further, and the one pushed out lends its buffers to the next.
  std::unique_ptr<NameOrder::Name> read_ = std::make_unique<NameOrder::Name>();
};

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
  const NameOrder order;
  // The hourglass is decided while the folder is read, as a slow folder is what makes one wait.
  InsertionWatch watch(order, kHourglassPosition);
  NameList names = SearchEntries(attributeWord, [&](std::string_view name) {
    if (!cursor.Shown() && watch.LandsAtPosition(name)) {
      cursor.Show();
    }
  });
  std::vector<std::size_t> sorted = order.Sorted(names);
  model_.SetEntries(std::move(names), std::move(sorted));
}

// The admitted names of every pattern of the mask, in the order the searches give them; a name
// that two patterns match comes twice. Each is handed to `admitted` as it is read.
NameList TFileListBox::SearchEntries(std::uint32_t attributeWord,
                                     const std::function<void(std::string_view)>& admitted) {
  NameList names;
  for (const std::string& pattern : SplitMask(mask_)) {
    const auto search = fs_.Find(pattern, attributeWord);
    FoundEntry entry;  // one name's buffer for the whole folder
    while (search->ReadNext(entry)) {
      if (!(fileType_ & ftNormal) && !(entry.attributes & attributeWord)) {
        continue;
      }
      if (entry.attributes & faDirectory) {
        names.Append("[" + entry.name + "]");
      } else {
        names.Append(entry.name);
      }
      admitted(names[names.size() - 1]);
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
  const std::string path = JoinPath(folderPath_, split.lastPart);
  // A name with "*" or "?" is a pattern, unless a file of that very name is there.
  if (HasWildcards(split.lastPart) && !IsExistingFile(fs_, path)) {
    SetMask(split.lastPart);
  } else if (!split.lastPart.empty()) {
    // The name as the folder spells it, where the file system ignores case (a FAT stick). A
    // search would take a name with "*" or "?" for a pattern.
    const auto found =
        HasWildcards(split.lastPart) ? std::nullopt : fs_.Find(path, kEveryEntry)->Next();
    const std::string lastPart = found ? found->name : split.lastPart;
    SelectByName(lastPart);
    if (!IsExistingFile(fs_, path)) {
      throw EInvalidOperation("Invalid file name - " + text);
    }
    if (SelectedFileName().empty()) {
      SetMask(lastPart);
      SelectByName(lastPart);
    }
  }
}

void TFileListBox::SelectByName(const std::string& name) {
  HandleNeeded();
  if (name == SelectedFileName()) {
    return;
  }
  const int row = model_.FindExact(name);
  if (row < 0) {
    clearSelection();
    setCurrentIndex({});
    return;
  }
  // The view scrolls a new current row into sight itself.
  selectionModel()->setCurrentIndex(model_.index(row), QItemSelectionModel::ClearAndSelect);
}

std::string TFileListBox::SelectedFileName() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  if (selected.isEmpty()) {
    return {};
  }
  return std::string(model_.Entry(selected.front().row()));
}

std::string TFileListBox::SelectedFilePath() const {
  const std::string name = SelectedFileName();
  return name.empty() ? std::string() : JoinPath(folderPath_, name);
}

// The list is first read when its window comes to exist; until then a new mask or folder is only
// stored, so start-up reads the folder once, with everything in force by then. Selecting a name
// needs the entries, so it reads them at once: a file given at start-up is then selected in its
// folder, and showing the list later keeps that selection.
void TFileListBox::HandleNeeded() {
  if (!windowCreated_) {
    windowCreated_ = true;
    RefillList();
  }
}

void TFileListBox::showEvent(QShowEvent* event) {
  QListView::showEvent(event);
  ReportingFailures([this] { HandleNeeded(); });
}

void TFileListBox::keyPressEvent(QKeyEvent* event) {
  const QModelIndex before = currentIndex();
  // As in a platform list, the first Down on a list without a selection selects the row the focus
  // frame is on, the first row, instead of moving past it.
  if (event->key() == Qt::Key_Down && IsPlainKey(*event) && !selectionModel()->hasSelection() &&
      model_.rowCount() > 0) {
    const QModelIndex first = before.isValid() ? before : model_.index(0);
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect);
    scrollTo(first);
    Notify(OnClick);
    return;
  }
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

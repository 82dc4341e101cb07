#include "TBrowseFolderDlg.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/fs/PathRules.h"
#include "widgets/NameOrder.h"
#include "widgets/ScreenPlacement.h"

namespace varnex {

namespace {

// Each item of the tree keeps its folder's path as the file system's bytes, so that a name that
// is not UTF-8 is shown as well as it can be and still chosen exactly.
constexpr int kPathRole = Qt::UserRole;
constexpr int kReadRole = Qt::UserRole + 1;

QString Shown(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string PathOf(const QTreeWidgetItem* item) {
  return item->data(0, kPathRole).toByteArray().toStdString();
}

// The folder tree from the root, read a folder at a time as it is opened, with the chosen path
// below it: picked in the tree, or typed.
class FolderTreeDialog final : public QDialog {
 public:
  FolderTreeDialog(FileSystem& fs, const QString& dialogText, QWidget* parent)
      : QDialog(parent), fs_(fs) {
    setWindowTitle(dialogText);
    setWindowModality(Qt::ApplicationModal);
    resize(420, 460);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(dialogText, this));
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setAccessibleName(QStringLiteral("Folders"));
    layout->addWidget(tree_);
    path_ = new QLineEdit(this);
    path_->setAccessibleName(QStringLiteral("Folder"));
    layout->addWidget(path_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText(QStringLiteral("OK"));
    buttons->setAccessibleName(QStringLiteral("Answer"));
    layout->addWidget(buttons);

    root_ = AddFolder(nullptr, kRootFolder, kRootFolder);
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Read(item); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
      if (item != nullptr) {
        Choose(PathOf(item));
      }
    });
    connect(path_, &QLineEdit::textEdited, this, [this](const QString& text) {
      const QTreeWidgetItem* shown = tree_->currentItem();
      chosen_ = AbsolutePath(text.toStdString(), PathOf(shown != nullptr ? shown : root_));
      UpdateOk();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    path_->setFocus();
    UpdateOk();
  }

  // Opens the tree down to `folder` and selects it. Folders the tree leaves out (hidden ones) are
  // added on the way, so that every existing folder can be shown.
  void Select(const std::string& folder) {
    QTreeWidgetItem* item = root_;
    std::size_t start = 0;
    while (start < folder.size()) {
      const std::size_t end = std::min(folder.find('/', start), folder.size());
      const std::string name = folder.substr(start, end - start);
      start = end + 1;
      if (name.empty()) {
        continue;
      }
      Read(item);
      item->setExpanded(true);
      item = Child(item, name);
    }
    tree_->setCurrentItem(item);
    // The path as given, which a name like ".." in it would otherwise change.
    Choose(folder);
  }

  const std::string& Chosen() const { return chosen_; }

 protected:
  void showEvent(QShowEvent* event) override {
    QDialog::showEvent(event);
    path_->selectAll();  // typing replaces the path shown
    CentreOnPrimaryScreen(*this);
  }

 private:
  QTreeWidgetItem* AddFolder(QTreeWidgetItem* parent, const std::string& path,
                             const std::string& name) {
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, Shown(name));
    item->setData(0, kPathRole, QByteArray::fromStdString(path));
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
  }

  QTreeWidgetItem* Child(QTreeWidgetItem* parent, const std::string& name) {
    const std::string path = JoinPath(PathOf(parent), name);
    for (int i = 0; i < parent->childCount(); ++i) {
      if (PathOf(parent->child(i)) == path) {
        return parent->child(i);
      }
    }
    return AddFolder(parent, path, name);
  }

  // The sub-folders of an item's folder, in the file list's order; read once.
  void Read(QTreeWidgetItem* item) {
    if (item->data(0, kReadRole).toBool()) {
      return;
    }
    item->setData(0, kReadRole, true);
    const std::string folder = PathOf(item);
    NameList names;
    const auto search = fs_.Find(JoinPath(folder, "*"), faDirectory);
    while (const auto entry = search->Next()) {
      if (entry->attributes & faDirectory) {
        names.Append(entry->name);
      }
    }
    for (const std::size_t index : NameOrder().Sorted(names)) {
      const std::string name(names[index]);
      AddFolder(item, JoinPath(folder, name), name);
    }
    if (item->childCount() == 0) {
      item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }
  }

  void Choose(const std::string& path) {
    chosen_ = path;
    path_->setText(Shown(path));
    UpdateOk();
  }

  // OK only while the chosen path is an existing folder.
  void UpdateOk() { ok_->setEnabled(IsExistingFolder(fs_, chosen_)); }

  FileSystem& fs_;
  QTreeWidget* tree_;
  QTreeWidgetItem* root_;
  QLineEdit* path_;
  QPushButton* ok_;
  std::string chosen_;
};

}  // namespace

bool TBrowseFolderDlg::Execute(const std::string& dialogText, std::string& folderName) {
  const QPointer<QWidget> active = QApplication::activeWindow();
  FolderTreeDialog dialog(fs_, Shown(dialogText), active);
  if (IsExistingFolder(fs_, folderName)) {
    dialog.Select(folderName);
  }
  const bool confirmed = dialog.exec() == QDialog::Accepted;
  if (active) {
    active->activateWindow();
  }
  if (confirmed) {
    folderName = TrimTrailingBackslash(dialog.Chosen());
  }
  return confirmed;
}

}  // namespace varnex

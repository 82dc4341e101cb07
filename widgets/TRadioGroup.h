#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <functional>

namespace varnex {

// A group of radio buttons whose checked entry is an index. OnClick follows the user's clicks and
// arrow keys; setting the index from code raises nothing. Tab and Shift+Tab land on the checked
// entry, as in any group of radio buttons, and the arrow keys move the choice within the group.
// The entries share the group's height equally, each as wide as the group.
class TRadioGroup final : public QGroupBox {
 public:
  TRadioGroup(const QStringList& items, QWidget* parent = nullptr);

  int ItemIndex() const { return buttons_.checkedId(); }
  void SetItemIndex(int index);

  // The entries, for their place in the window's tab order.
  QList<QAbstractButton*> Buttons() const { return buttons_.buttons(); }

  std::function<void(QObject* sender)> OnClick;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void MakeTheCheckedEntryTheTabStop();

  QButtonGroup buttons_;
};

}  // namespace varnex

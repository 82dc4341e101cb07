#include "TRadioGroup.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace varnex {

TRadioGroup::TRadioGroup(const QStringList& items, QWidget* parent) : QGroupBox(parent) {
  auto* layout = new QVBoxLayout(this);
  for (int index = 0; index < items.size(); ++index) {
    auto* button = new QRadioButton(items[index], this);
    buttons_.addButton(button, index);
    layout->addWidget(button);
  }
  connect(&buttons_, &QButtonGroup::idClicked, this, [this] {
    if (OnClick) {
      OnClick(this);
    }
  });
  connect(&buttons_, &QButtonGroup::idToggled, this, &TRadioGroup::MakeTheCheckedEntryTheTabStop);
  MakeTheCheckedEntryTheTabStop();
}

void TRadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* button = buttons_.button(index)) {
    button->setChecked(true);
  }
}

// The other entries still take the focus from a click or an arrow key; with none checked, every
// entry is a stop.
void TRadioGroup::MakeTheCheckedEntryTheTabStop() {
  const QAbstractButton* checked = buttons_.checkedButton();
  for (QAbstractButton* button : buttons_.buttons()) {
    const bool stop = checked == nullptr || button == checked;
    button->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
  }
}

}  // namespace varnex

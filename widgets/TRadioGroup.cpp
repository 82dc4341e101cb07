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
}

void TRadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* button = buttons_.button(index)) {
    button->setChecked(true);
  }
}

}  // namespace varnex

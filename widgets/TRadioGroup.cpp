#include "TRadioGroup.h"

#include <QRadioButton>

namespace varnex {

TRadioGroup::TRadioGroup(const QStringList& items, QWidget* parent) : QGroupBox(parent) {
  for (int index = 0; index < items.size(); ++index) {
    buttons_.addButton(new QRadioButton(items[index], this), index);
  }
  connect(&buttons_, &QButtonGroup::idClicked, this, [this] {
    if (OnClick) {
      OnClick(this);
    }
  });
  connect(&buttons_, &QButtonGroup::idToggled, this, &TRadioGroup::MakeTheCheckedEntryTheTabStop);
  MakeTheCheckedEntryTheTabStop();
}

// Placed rather than laid out: a layout would measure the entries' texts, and so load their font,
// before the window first shows.
void TRadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  const QRect area = contentsRect();
  const QList<QAbstractButton*> entries = buttons_.buttons();
  const int count = static_cast<int>(entries.size());
  for (int index = 0; index < count; ++index) {
    const int top = area.top() + area.height() * index / count;
    const int bottom = area.top() + area.height() * (index + 1) / count;
    entries[index]->setGeometry(area.left(), top, area.width(), bottom - top);
  }
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

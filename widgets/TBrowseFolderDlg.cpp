#include "TBrowseFolderDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "platform/fs/PathRules.h"

namespace varnex {

namespace {

std::string Bytes(const QString& path) {
  return QFile::encodeName(path).toStdString();
}
QString Shown(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

void CentreOnScreen(QWidget& dialog) {
  dialog.move(
      CentredOnScreen(QGuiApplication::primaryScreen()->geometry(), dialog.frameGeometry().size()));
}

}  // namespace

// The centre is taken within the screen's own rectangle, which starts where the screen does: a
// primary screen right of another one does not start at 0.
QPoint CentredOnScreen(const QRect& screen, const QSize& size) {
  QPoint corner(screen.left() + (screen.width() - size.width()) / 2,
                screen.top() + (screen.height() - size.height()) / 2);
  corner.setX(std::clamp(corner.x(), screen.left(),
                         std::max(screen.left(), screen.right() + 1 - size.width())));
  corner.setY(std::clamp(corner.y(), screen.top(),
                         std::max(screen.top(), screen.bottom() + 1 - size.height())));
  return corner;
}

bool TBrowseFolderDlg::Execute(const std::string& dialogText, std::string& folderName) {
  const QPointer<QWidget> active = QApplication::activeWindow();
  QFileDialog dialog(active);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setWindowTitle(
      QString::fromUtf8(dialogText.data(), static_cast<qsizetype>(dialogText.size())));
  dialog.setLabelText(QFileDialog::Accept, QStringLiteral("OK"));
  if (IsExistingFolder(fs_, folderName)) {
    dialog.setDirectory(Shown(folderName));
  }

  // OK follows the selection: the folder typed or picked, or the one shown when none is.
  QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
  auto* typed = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  const auto updateOk = [&] {
    const QString text = typed->text();
    const QString selected = text.isEmpty() ? dialog.directory().absolutePath()
                             : QDir::isAbsolutePath(text)
                                 ? text
                                 : dialog.directory().absoluteFilePath(text);
    ok->setEnabled(IsExistingFolder(fs_, Bytes(selected)));
  };
  // Queued, so that the dialog's own update of the button comes first and ours has the last word.
  QObject::connect(typed, &QLineEdit::textChanged, &dialog, updateOk, Qt::QueuedConnection);
  QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, updateOk,
                   Qt::QueuedConnection);
  QTimer::singleShot(0, &dialog, [&] {
    CentreOnScreen(dialog);
    updateOk();
  });

  const bool confirmed = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  if (active) {
    active->activateWindow();
  }
  if (confirmed) {
    folderName = TrimTrailingBackslash(Bytes(dialog.selectedFiles().constFirst()));
  }
  return confirmed;
}

}  // namespace varnex

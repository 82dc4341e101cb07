#include "ErrorReport.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "widgets/CentredMessageBox.h"

namespace varnex {

void ShowErrorReport(const std::exception& error) {
  CentredMessageBox box(QMessageBox::Critical,
                        ApplicationTitle(QCoreApplication::applicationFilePath()),
                        ErrorReportText(QString::fromUtf8(error.what())), QMessageBox::Ok);
  box.exec();
}

QString ApplicationTitle(const QString& programPath) {
  const QString fileName = QFileInfo(programPath).fileName();
  const QString name = fileName.left(fileName.indexOf(QLatin1Char('.')));
  return name.left(1) + name.mid(1).toLower();
}

QString ErrorReportText(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) {
    return message + QLatin1Char('.');
  }
  return message;
}

}  // namespace varnex

#include "PrivateBus.h"

#include <QDBusArgument>
#include <QTest>
#include <stdexcept>

namespace varnex::test {

PrivateBus::PrivateBus() {
  daemon_.setStandardErrorFile(QProcess::nullDevice());
  daemon_.start(
      QStringLiteral("dbus-daemon"),
      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
       QStringLiteral("--address=unix:dir=") + QString::fromStdString(folder_.Path())});
  if (!daemon_.waitForStarted(5000)) {
    throw std::runtime_error("dbus-daemon does not start");
  }
  while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
  }
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  if (address_.isEmpty()) {
    throw std::runtime_error("dbus-daemon gives no address");
  }
}

PrivateBus::~PrivateBus() {
  daemon_.terminate();
  if (!daemon_.waitForFinished(5000)) {
    daemon_.kill();
    daemon_.waitForFinished(5000);
  }
}

QDBusConnection PrivateBus::Connect(const QString& name) const {
  return QDBusConnection::connectToBus(address_, name);
}

PropertiesRecorder::PropertiesRecorder(QDBusConnection bus, const QString& path) {
  bus.connect(QString(), path, QStringLiteral("org.freedesktop.DBus.Properties"),
              QStringLiteral("PropertiesChanged"), this,
              SLOT(PropertiesChanged(QString, QVariantMap, QStringList)));
}

bool PropertiesRecorder::WaitFor(const QString& entry, qsizetype from, int ms) const {
  return QTest::qWaitFor([&] { return announced.indexOf(entry, from) >= 0; }, ms);
}

void PropertiesRecorder::PropertiesChanged(const QString&, const QVariantMap& changed,
                                           const QStringList&) {
  for (auto it = changed.begin(); it != changed.end(); ++it) {
    const QVariant& value = it.value();
    QString text = value.toString();
    if (value.canConvert<QDBusArgument>()) {
      text = QStringLiteral("{...}");
    }
    announced.append(it.key() + QLatin1Char('=') + text);
    last.insert(it.key(), value);
  }
}

}  // namespace varnex::test

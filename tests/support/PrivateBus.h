#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QVariantMap>

#include "tests/support/TempFolder.h"

namespace varnex::test {

// A session bus of the test's own: a dbus-daemon listening in a folder of the test's, ended and
// removed with it. Throws when no daemon can be started.
class PrivateBus {
 public:
  PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;
  ~PrivateBus();

  const QString& Address() const { return address_; }
  // A connection of its own under `name`; disconnect it with QDBusConnection::disconnectFromBus.
  QDBusConnection Connect(const QString& name) const;

 private:
  TempFolder folder_;
  QProcess daemon_;
  QString address_;
};

// Keeps every PropertiesChanged signal that objects on `path` send on a bus.
class PropertiesRecorder final : public QObject {
  Q_OBJECT

 public:
  PropertiesRecorder(QDBusConnection bus, const QString& path);

  // Every changed property, in the order announced, as "Name=value" with the value as text.
  QStringList announced;
  // The last announced value of each property, as it arrived.
  QVariantMap last;

  // Waits up to `ms` for "Name=value" to be announced after the first `from` entries.
  bool WaitFor(const QString& entry, qsizetype from = 0, int ms = 15000) const;

 public Q_SLOTS:
  void PropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                         const QStringList& invalidated);
};

}  // namespace varnex::test

// A client of the desktop's media controls on a private session bus, shared by the suite: what the
// tests in front of a scripted player and those in front of the window's own player both ask.
#pragma once

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <memory>
#include <string>

#include "tests/support/PrivateBus.h"

namespace varnex::test {

inline const QString kMprisRoot = QStringLiteral("org.mpris.MediaPlayer2");
inline const QString kMprisPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
inline const QString kMprisPath = QStringLiteral("/org/mpris/MediaPlayer2");
inline const QString kMprisName = QStringLiteral("org.mpris.MediaPlayer2.varnex");
inline const QString kDBusProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// A dictionary as the bus hands it over, or as it was set.
inline QVariantMap AsMap(const QVariant& value) {
  return value.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(value.value<QDBusArgument>())
                                           : value.toMap();
}

inline QString TrackId(const QVariantMap& metadata) {
  return metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
}

// `Base` with one private bus for all its tests (skipped where none can be started) and, once
// ConnectClient is called, a client connection and a recorder of what is announced on it.
template <typename Base>
class MprisBusTest : public Base {
 protected:
  static void SetUpTestSuite() {
    try {
      bus_ = std::make_unique<PrivateBus>();
    } catch (const std::exception& error) {
      busError_ = error.what();
    }
  }
  static void TearDownTestSuite() { bus_.reset(); }

  void SetUp() override {
    if (bus_ == nullptr) {
      GTEST_SKIP() << "no private session bus: " << busError_;
    }
  }
  void TearDown() override {
    recorder.reset();
    client.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
  }

  void ConnectClient() {
    client = std::make_unique<QDBusConnection>(bus_->Connect(QStringLiteral("client")));
    recorder = std::make_unique<PropertiesRecorder>(*client, kMprisPath);
  }

  QDBusMessage Call(const QString& interfaceName, const QString& method,
                    const QVariantList& arguments = {}) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kMprisName, kMprisPath, interfaceName, method);
    call.setArguments(arguments);
    const QDBusMessage reply = client->call(call, QDBus::BlockWithGui, 15000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << method.toStdString() << ": " << reply.errorMessage().toStdString();
    return reply;
  }
  // Sent without waiting for the answer.
  void Send(const QString& method) {
    client->send(QDBusMessage::createMethodCall(kMprisName, kMprisPath, kMprisPlayer, method));
  }

  QVariant Get(const QString& interfaceName, const QString& property) {
    const QDBusMessage reply =
        Call(kDBusProperties, QStringLiteral("Get"), {interfaceName, property});
    return reply.arguments().value(0).value<QDBusVariant>().variant();
  }
  QVariant Get(const char* playerProperty) {
    return Get(kMprisPlayer, QString::fromLatin1(playerProperty));
  }
  void SetVolume(double volume) {
    Call(kDBusProperties, QStringLiteral("Set"),
         {kMprisPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(volume))});
  }
  QVariantMap Metadata() { return AsMap(Get("Metadata")); }
  // The metadata as last announced.
  QVariantMap AnnouncedMetadata() const {
    return AsMap(recorder->last.value(QStringLiteral("Metadata")));
  }
  // Waits for "Name=value" to be announced after the first `from` entries.
  bool Announced(const char* entry, qsizetype from = 0) const {
    return recorder->WaitFor(QString::fromLatin1(entry), from);
  }

  static inline std::unique_ptr<PrivateBus> bus_;
  static inline std::string busError_;
  std::unique_ptr<QDBusConnection> client;
  std::unique_ptr<PropertiesRecorder> recorder;
};

}  // namespace varnex::test

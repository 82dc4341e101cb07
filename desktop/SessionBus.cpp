#include "SessionBus.h"

#include <QFileInfo>
#include <QUrl>
#include <QtEndian>

namespace varnex {

namespace {

constexpr char kAccessibilityBus[] = "AT_SPI_BUS_ADDRESS";

// The first message every client sends: Hello to the bus itself, little-endian, serial 1.
QByteArray HelloMessage() {
  const auto padTo = [](QByteArray& bytes, int boundary) {
    while (bytes.size() % boundary != 0) {
      bytes.append('\0');
    }
  };
  const auto appendNumber = [](QByteArray& bytes, quint32 number) {
    const quint32 little = qToLittleEndian(number);
    bytes.append(reinterpret_cast<const char*>(&little), sizeof little);
  };
  QByteArray fields;
  const auto field = [&](char code, char type, const QByteArray& value) {
    padTo(fields, 8);
    fields.append(code).append('\1').append(type).append('\0');
    appendNumber(fields, static_cast<quint32>(value.size()));
    fields.append(value).append('\0');
  };
  field(1, 'o', "/org/freedesktop/DBus");  // path
  field(6, 's', "org.freedesktop.DBus");   // destination
  field(2, 's', "org.freedesktop.DBus");   // interface
  field(3, 's', "Hello");                  // member
  QByteArray message("l\1\0\1", 4);        // little-endian method call, version 1
  appendNumber(message, 0);                // no body
  appendNumber(message, 1);                // serial
  appendNumber(message, static_cast<quint32>(fields.size()));
  message.append(fields);
  padTo(message, 8);
  return message;
}

// The credentials byte, authentication by the connection's own credentials, then Hello; a bus
// reads them in turn.
QByteArray Greeting() {
  static constexpr char kAuthentication[] = "\0AUTH EXTERNAL\r\nDATA\r\nBEGIN\r\n";
  return QByteArray(kAuthentication, sizeof kAuthentication - 1) + HelloMessage();
}

// A value of one address entry, "transport:key=value,...", with its %XX escapes undone.
QString Value(const QString& entry, const QString& key) {
  for (const QString& pair : entry.section(QLatin1Char(':'), 1).split(QLatin1Char(','))) {
    if (pair.section(QLatin1Char('='), 0, 0) == key) {
      return QUrl::fromPercentEncoding(pair.section(QLatin1Char('='), 1).toUtf8());
    }
  }
  return {};
}

// Where a line of the bus's answer starting with `start` begins, or -1.
qsizetype Line(const QByteArray& received, const char* start) {
  return received.startsWith(start) ? 0 : received.indexOf(QByteArray("\n") + start);
}

}  // namespace

QString SessionBus::SessionAddress() {
  const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  if (!address.isEmpty()) {
    return address;
  }
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const QString runtimeBus = runtime + QStringLiteral("/bus");
  return !runtime.isEmpty() && QFileInfo::exists(runtimeBus)
             ? QStringLiteral("unix:path=") + runtimeBus
             : QString();
}

SessionBus::SessionBus(QString address) : address_(std::move(address)) {
  for (const QString& entry : address_.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    if (entry.section(QLatin1Char(':'), 0, 0) != QLatin1String("unix")) {
      continue;
    }
    const QString path = Value(entry, QStringLiteral("path"));
    const QString abstract = Value(entry, QStringLiteral("abstract"));
    if (path.isEmpty() && abstract.isEmpty()) {
      continue;
    }
    socket_.emplace();
    if (path.isEmpty()) {
      socket_->setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    }
    socket_->connectToServer(path.isEmpty() ? abstract : path);
    socket_->write(Greeting());
    socket_->flush();
    return;
  }
  if (address_.isEmpty()) {
    reply_ = Reply::kSilent;  // there is no bus to ask
  }
}

// A bus answers the authentication with a line "OK <its id>", and Hello with a message after it.
SessionBus::Reply SessionBus::Await(std::chrono::steady_clock::time_point deadline) {
  if (reply_) {
    return *reply_;
  }
  if (!socket_) {
    return Reply::kNotAsked;
  }
  const auto remaining = [deadline] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
  };
  reply_ = Reply::kSilent;
  if (socket_->state() == QLocalSocket::ConnectingState &&
      !socket_->waitForConnected(remaining())) {
    return *reply_;
  }
  while (socket_->bytesToWrite() > 0 && socket_->waitForBytesWritten(remaining())) {
  }
  while (socket_->state() == QLocalSocket::ConnectedState) {
    received_.append(socket_->readAll());
    if (Line(received_, "REJECTED") >= 0 || Line(received_, "ERROR") >= 0) {
      break;
    }
    const qsizetype ok = Line(received_, "OK ");
    const qsizetype okEnd = ok < 0 ? -1 : received_.indexOf("\r\n", ok);
    if (okEnd >= 0 && received_.size() > okEnd + 2) {
      reply_ = Reply::kAnswers;
      break;
    }
    if (!socket_->waitForReadyRead(remaining())) {
      break;
    }
  }
  socket_->abort();
  return *reply_;
}

SilentBusShield::SilentBusShield() : shielding_(!qEnvironmentVariableIsSet(kAccessibilityBus)) {
  if (shielding_) {
    qputenv(kAccessibilityBus, "unix:path=/nonexistent/varnex/no-accessibility-bus");
  }
}

SilentBusShield::~SilentBusShield() {
  if (shielding_) {
    qunsetenv(kAccessibilityBus);
  }
}

}  // namespace varnex

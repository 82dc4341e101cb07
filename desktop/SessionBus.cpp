#include "SessionBus.h"

#include <QByteArray>
#include <QFileInfo>
#include <QUrl>
#include <QtEndian>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

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

// Where a line of the bus's answer starting with `start` begins, or npos.
std::size_t Line(const std::string& received, const std::string& start) {
  return received.starts_with(start) ? 0 : received.find("\n" + start);
}

// A bus answers the authentication with a line "OK <its id>", and Hello with a whole message
// after it: a fixed part of 16 bytes, the header's fields padded to 8 bytes, then the body. The
// start of a message alone is no answer: the bus may say no more.
bool Answered(const std::string& received) {
  const std::size_t ok = Line(received, "OK ");
  const std::size_t okEnd = ok == std::string::npos ? ok : received.find("\r\n", ok);
  if (okEnd == std::string::npos) {
    return false;
  }
  const std::string_view message = std::string_view(received).substr(okEnd + 2);
  constexpr std::size_t kFixedPart = 16;
  if (message.size() < kFixedPart) {
    return false;
  }
  const auto number = [&](std::size_t offset) -> std::uint64_t {
    quint32 value;
    std::memcpy(&value, message.data() + offset, sizeof value);
    return message[0] == 'l' ? qFromLittleEndian(value) : qFromBigEndian(value);
  };
  const std::uint64_t bodyLength = number(4);
  const std::uint64_t fieldsLength = number(12);
  return message.size() >= kFixedPart + (fieldsLength + 7) / 8 * 8 + bodyLength;
}

bool Refused(const std::string& received) {
  return Line(received, "REJECTED") != std::string::npos ||
         Line(received, "ERROR") != std::string::npos;
}

}  // namespace

QString SessionBus::SessionAddress() {
  QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
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
    if (!path.isEmpty() || !abstract.isEmpty()) {
      const QByteArray greeting = Greeting();
      exchange_ = std::make_unique<LocalSocketExchange>(
          (path.isEmpty() ? abstract : path).toStdString(), path.isEmpty(),
          std::string(greeting.constData(), static_cast<std::size_t>(greeting.size())));
      return;
    }
  }
  if (address_.isEmpty()) {
    reply_ = Reply::kSilent;  // there is no bus to ask
  }
}

SessionBus::Reply SessionBus::Await(std::chrono::steady_clock::time_point deadline) {
  if (!reply_ && exchange_) {
    const std::string answer = exchange_->Await(deadline, [](const std::string& received) {
      return Answered(received) || Refused(received);
    });
    reply_ = Answered(answer) ? Reply::kAnswers : Reply::kSilent;
  }
  return reply_.value_or(Reply::kNotAsked);
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

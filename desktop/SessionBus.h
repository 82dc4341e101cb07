#pragma once

#include <QString>
#include <chrono>
#include <memory>
#include <optional>

#include "platform/shell/LocalSocketExchange.h"

namespace varnex {

// The session bus as the program meets it at start. Qt connects to it only by waiting, 25 s on
// a bus that takes the connection and never answers, and its accessibility bridge does so while
// the window is made. So the bus is first asked here the way every client begins (connect,
// authenticate, Hello), at once and without waiting; the answer is waited for, a bounded time,
// only when it is needed.
class SessionBus {
 public:
  enum class Reply { kAnswers, kSilent, kNotAsked };

  // The address the bus library uses: DBUS_SESSION_BUS_ADDRESS, or else the user's bus in
  // XDG_RUNTIME_DIR; empty when there is neither.
  static QString SessionAddress();

  // Asks the first entry of `address` that is a Unix socket (a path or an abstract name).
  explicit SessionBus(QString address = SessionAddress());
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;

  const QString& Address() const { return address_; }

  // Whether the bus has answered, waiting until `deadline` at most. kNotAsked for an address of
  // another kind (TCP, a launcher), which is not asked here.
  Reply Await(std::chrono::steady_clock::time_point deadline);

 private:
  QString address_;
  std::unique_ptr<LocalSocketExchange> exchange_;
  std::optional<Reply> reply_;
};

// While it exists, Qt's accessibility bridge looks for the accessibility bus at an address that
// refuses at once, instead of asking a session bus that does not answer. The environment is as
// before once it is gone, so nothing the program starts later inherits the change.
class SilentBusShield {
 public:
  SilentBusShield();
  SilentBusShield(const SilentBusShield&) = delete;
  SilentBusShield& operator=(const SilentBusShield&) = delete;
  ~SilentBusShield();

 private:
  bool shielding_;
};

}  // namespace varnex

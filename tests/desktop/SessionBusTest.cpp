// The session bus asked at start, against a real bus and against sockets that only pose as one.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QtGlobal>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "desktop/SessionBus.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TempFolder.h"

namespace varnex {
namespace {

using Reply = SessionBus::Reply;

// A socket where a bus should be, that takes every connection and then answers as told: not at
// all, only the authentication, a refusal, the authentication and the start of a message and no
// more, or as a bus does (authentication, then a whole message).
// The authentication, then a method return without fields or body: 16 bytes, little-endian.
const std::string kAuthenticatedReturn =
    std::string("DATA\r\nOK 0123456789abcdef0123456789abcdef\r\nl\2\1\1") +
    std::string("\0\0\0\0\1\0\0\0\0\0\0\0", 12);

class PosingBus {
 public:
  enum Answer { kNothing, kHangUp, kOnlyAuthentication, kRefusal, kPartOfAnAnswer, kLikeABus };

  PosingBus(const std::string& name, bool abstract, Answer answer) : answer_(answer) {
    listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + (abstract ? 1 : 0), name.data(), name.size());
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + (abstract ? 1 : 0));
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener_, 4) != 0) {
      ADD_FAILURE() << "cannot listen on " << name;
    }
    server_ = std::thread([this] { Serve(); });
  }
  ~PosingBus() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    server_.join();
  }

 private:
  void Serve() {
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) {
      return;
    }
    std::string received;
    char buffer[512];
    ssize_t got;
    while (answer_ != kHangUp && received.find("BEGIN\r\n") == std::string::npos &&
           (got = read(connection, buffer, sizeof buffer)) > 0) {
      received.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string answers[] = {"",
                                   "",
                                   "DATA\r\nOK 0123456789abcdef0123456789abcdef\r\n",
                                   "REJECTED EXTERNAL\r\n",
                                   "DATA\r\nOK 0123456789abcdef0123456789abcdef\r\nl\2\1\1",
                                   kAuthenticatedReturn};
    const std::string& answer = answers[answer_];
    if (!answer.empty() && write(connection, answer.data(), answer.size()) < 0) {
      ADD_FAILURE() << "cannot answer";
    }
    // Holds the connection until the other side goes, as a bus that says no more would.
    while (answer_ != kHangUp && read(connection, buffer, sizeof buffer) > 0) {
    }
    close(connection);
  }

  Answer answer_;
  int listener_ = -1;
  std::thread server_;
};

Reply AskWithin(const QString& address, int milliseconds) {
  SessionBus bus(address);
  return bus.Await(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds));
}

TEST(SessionBus, OnlyABusThatAnswersHelloAnswers) {
  test::TempFolder folder;
  const std::pair<PosingBus::Answer, Reply> cases[] = {
      {PosingBus::kNothing, Reply::kSilent},
      {PosingBus::kHangUp, Reply::kSilent},
      {PosingBus::kOnlyAuthentication, Reply::kSilent},
      {PosingBus::kRefusal, Reply::kSilent},
      {PosingBus::kPartOfAnAnswer, Reply::kSilent},
      {PosingBus::kLikeABus, Reply::kAnswers},
  };
  int number = 0;
  for (const auto& [answer, reply] : cases) {
    for (const bool abstract : {false, true}) {
      const std::string name = folder / ("bus" + std::to_string(++number));
      const PosingBus posing(name, abstract, answer);
      const QString address =
          QStringLiteral("unix:%1=%2,guid=0123")
              .arg(abstract ? QStringLiteral("abstract") : QStringLiteral("path"))
              .arg(QString::fromStdString(name));
      EXPECT_EQ(AskWithin(address, 300), reply) << name << " abstract " << abstract;
    }
  }
}

TEST(SessionBus, ARealBusAnswersAndAddressesOfOtherKindsAreNotAsked) {
  std::unique_ptr<test::PrivateBus> real;
  try {
    real = std::make_unique<test::PrivateBus>();
  } catch (const std::exception& error) {
    GTEST_SKIP() << "no private session bus: " << error.what();
  }
  EXPECT_EQ(AskWithin(real->Address(), 5000), Reply::kAnswers) << real->Address().toStdString();
  // The first entry that can be asked is the one asked.
  EXPECT_EQ(AskWithin(QStringLiteral("tcp:host=localhost,port=1;") + real->Address(), 5000),
            Reply::kAnswers);
  EXPECT_EQ(AskWithin(QStringLiteral("unix:path=/nonexistent/bus"), 5000), Reply::kSilent);
  EXPECT_EQ(AskWithin(QString(), 5000), Reply::kSilent);
  EXPECT_EQ(AskWithin(QStringLiteral("tcp:host=localhost,port=1"), 5000), Reply::kNotAsked);
  EXPECT_EQ(AskWithin(QStringLiteral("autolaunch:"), 5000), Reply::kNotAsked);
}

TEST(SessionBus, TheAddressIsTheEnvironmentsOrTheUsersRuntimeBus) {
  test::TempFolder runtime;
  const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", runtime.Path().c_str());
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  EXPECT_EQ(SessionBus::SessionAddress(), QString());
  const std::string bus = runtime.Socket("bus");
  EXPECT_EQ(SessionBus::SessionAddress(),
            QStringLiteral("unix:path=") + QString::fromStdString(bus));
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:abstract=/tmp/dbus-x");
  EXPECT_EQ(SessionBus::SessionAddress(), QStringLiteral("unix:abstract=/tmp/dbus-x"));
  qputenv("DBUS_SESSION_BUS_ADDRESS", address);
  qputenv("XDG_RUNTIME_DIR", runtimeDir);
}

TEST(SilentBusShield, PointsAccessibilityNowhereWhileItLivesAndKeepsAValueOfTheUsers) {
  qunsetenv("AT_SPI_BUS_ADDRESS");
  {
    const SilentBusShield shield;
    EXPECT_TRUE(qgetenv("AT_SPI_BUS_ADDRESS").startsWith("unix:path=/nonexistent/"));
  }
  EXPECT_FALSE(qEnvironmentVariableIsSet("AT_SPI_BUS_ADDRESS"));
  qputenv("AT_SPI_BUS_ADDRESS", "unix:path=/run/user/a11y");
  {
    const SilentBusShield shield;
    EXPECT_EQ(qgetenv("AT_SPI_BUS_ADDRESS"), "unix:path=/run/user/a11y");
  }
  EXPECT_EQ(qgetenv("AT_SPI_BUS_ADDRESS"), "unix:path=/run/user/a11y");
  qunsetenv("AT_SPI_BUS_ADDRESS");
}

}  // namespace
}  // namespace varnex

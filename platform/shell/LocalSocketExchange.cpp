#include "LocalSocketExchange.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace varnex {

LocalSocketExchange::LocalSocketExchange(const std::string& name, bool abstract,
                                         std::string question)
    : unsent_(std::move(question)) {
  sockaddr_un address{};
  const std::size_t offset = abstract ? 1 : 0;  // an abstract name follows a NUL byte
  if (name.empty() || name.size() + offset >= sizeof address.sun_path) {
    return;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + offset, name.data(), name.size());
  socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                             name.size() + (abstract ? 0 : 1));
  if (socket_ >= 0 && connect(socket_, reinterpret_cast<const sockaddr*>(&address), length) != 0 &&
      errno != EAGAIN && errno != EINPROGRESS) {
    Close();
  }
  SendWhatFits();
}

LocalSocketExchange::~LocalSocketExchange() {
  Close();
}

std::string LocalSocketExchange::Await(
    std::chrono::steady_clock::time_point deadline,
    const std::function<bool(const std::string& answer)>& enough) {
  std::string answer;
  while (socket_ >= 0 && !enough(answer)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd watched{socket_, static_cast<short>(POLLIN | (unsent_.empty() ? 0 : POLLOUT)), 0};
    if (left.count() <= 0 || poll(&watched, 1, static_cast<int>(left.count())) <= 0) {
      break;
    }
    if ((watched.revents & POLLOUT) != 0) {
      SendWhatFits();
    }
    if ((watched.revents & POLLIN) != 0) {
      char buffer[512];
      const ssize_t got = recv(socket_, buffer, sizeof buffer, 0);
      if (got <= 0) {
        break;  // hung up, or refused
      }
      answer.append(buffer, static_cast<std::size_t>(got));
    } else if ((watched.revents & (POLLHUP | POLLERR)) != 0) {
      break;
    }
  }
  Close();
  return answer;
}

// A connection still being made, or a full socket, takes nothing now; the rest goes later.
void LocalSocketExchange::SendWhatFits() {
  if (socket_ < 0 || unsent_.empty()) {
    return;
  }
  const ssize_t sent = send(socket_, unsent_.data(), unsent_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent > 0) {
    unsent_.erase(0, static_cast<std::size_t>(sent));
  } else if (errno != EAGAIN && errno != ENOTCONN) {
    Close();
  }
}

void LocalSocketExchange::Close() {
  if (socket_ >= 0) {
    close(socket_);
    socket_ = -1;
  }
}

}  // namespace varnex

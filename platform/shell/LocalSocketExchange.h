#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace varnex {

// One question to a server on a local (Unix) socket, asked without waiting: the connection is
// made and the question sent, as far as the socket takes it, at once; the answer is waited for,
// a bounded time, only when it is needed.
class LocalSocketExchange {
 public:
  // `name` is the socket's path, or its name in the abstract namespace when `abstract`.
  LocalSocketExchange(const std::string& name, bool abstract, std::string question);
  LocalSocketExchange(const LocalSocketExchange&) = delete;
  LocalSocketExchange& operator=(const LocalSocketExchange&) = delete;
  ~LocalSocketExchange();

  // What the server has answered, read until `enough` says so of it, the server hangs up or
  // refuses, or `deadline` passes.
  std::string Await(std::chrono::steady_clock::time_point deadline,
                    const std::function<bool(const std::string& answer)>& enough);

 private:
  void SendWhatFits();
  void Close();

  int socket_ = -1;
  std::string unsent_;
};

}  // namespace varnex

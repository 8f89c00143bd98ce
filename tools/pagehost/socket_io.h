// Owners and helpers for the host's sockets.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>
#include <utility>

#include "tools/pagehost/exchange.h"

namespace pagehost {

class Socket {
 public:
  Socket() = default;
  explicit Socket(SOCKET s) : s_(s) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  Socket(Socket&& other) noexcept : s_(std::exchange(other.s_, INVALID_SOCKET)) {}
  Socket& operator=(Socket&& other) noexcept {
    std::swap(s_, other.s_);
    return *this;
  }
  ~Socket() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  SOCKET Get() const { return s_; }
  bool Valid() const { return s_ != INVALID_SOCKET; }

 private:
  SOCKET s_ = INVALID_SOCKET;
};

// Sends every byte; false when the peer is gone or the send timed out.
bool SendAll(SOCKET s, const std::string& bytes);

class SocketSink final : public ResponseSink {
 public:
  explicit SocketSink(SOCKET s) : s_(s) {}
  bool Send(const std::string& bytes) override {
    if (broken_) return false;
    broken_ = !SendAll(s_, bytes);
    return !broken_;
  }
  bool Broken() const { return broken_; }

 private:
  SOCKET s_;
  bool broken_ = false;
};

}  // namespace pagehost

// A one-connection HTTP stand-in on 127.0.0.1 for the update check: it
// records the request bytes and answers with a scripted reply.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace lumafold::test {

class LoopbackServer {
 public:
  // The reply goes out in these pieces, with pauseMs between them. With
  // silent set the server accepts, reads the request and sends nothing
  // until the client hangs up (or a minute passes).
  struct Script {
    std::vector<std::string> pieces;
    int pauseMs = 0;
    bool silent = false;
  };

  explicit LoopbackServer(Script script) : script_(std::move(script)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ok_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          ::listen(listener_, 4) == 0;
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (ok_) thread_ = std::thread([this] { serve(); });
  }

  ~LoopbackServer() {
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
  }

  bool ok() const { return ok_; }
  int port() const { return port_; }
  std::string url(const std::string& path = "/files/lumafold.dat") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // Valid once the client is done (the server thread is joined first).
  const std::string& request() {
    if (thread_.joinable()) thread_.join();
    return request_;
  }
  // Silent server: whether the client hung up before the server gave up.
  bool clientHungUp() {
    if (thread_.joinable()) thread_.join();
    return clientHungUp_;
  }

  // A port on 127.0.0.1 where nothing listens.
  static int ClosedPort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
  }

 private:
  void serve() {
    pollfd waitAccept{listener_, POLLIN, 0};
    if (::poll(&waitAccept, 1, 20000) <= 0) return;
    int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    char chunk[512];
    while (request_.find("\r\n\r\n") == std::string::npos) {
      pollfd p{client, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      request_.append(chunk, static_cast<std::size_t>(n));
    }
    if (script_.silent) {
      pollfd p{client, POLLIN, 0};
      char byte;
      clientHungUp_ = ::poll(&p, 1, 60000) > 0 && ::recv(client, &byte, 1, 0) == 0;
    } else {
      for (std::size_t i = 0; i < script_.pieces.size(); ++i) {
        if (i > 0 && script_.pauseMs > 0)
          std::this_thread::sleep_for(std::chrono::milliseconds(script_.pauseMs));
        ::send(client, script_.pieces[i].data(), script_.pieces[i].size(), MSG_NOSIGNAL);
      }
    }
    ::close(client);
  }

  Script script_;
  int listener_ = -1;
  int port_ = 0;
  bool ok_ = false;
  std::string request_;
  bool clientHungUp_ = false;
  std::thread thread_;
};

}  // namespace lumafold::test

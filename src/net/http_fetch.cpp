#include "net/http_fetch.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

namespace lumafold {

namespace {

using SteadyClock = std::chrono::steady_clock;

int MillisecondsSince(SteadyClock::time_point start) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count());
}

// Closes the socket on every return path.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() { reset(); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// A blocking connect to an address that silently drops packets would hang
// for minutes; a non-blocking connect bounded by the reply limit keeps the
// whole check within about ten seconds, as the interface thread expects.
bool ConnectWithin(int fd, const sockaddr* address, socklen_t length, int timeoutMs) {
  if (::connect(fd, address, length) == 0) return true;
  if (errno != EINPROGRESS) return false;
  pollfd p{fd, POLLOUT, 0};
  int ready;
  do {
    ready = ::poll(&p, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return false;
  int error = 0;
  socklen_t errorLength = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorLength) != 0) return false;
  return error == 0;
}

bool OpenConnection(const HttpUrl& url, Socket& socket) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(url.host.c_str(), url.port.c_str(), &hints, &found) != 0) return false;
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, &::freeaddrinfo);
  for (addrinfo* a = list.get(); a != nullptr; a = a->ai_next) {
    socket.reset(
        ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
    if (!socket.valid()) continue;
    if (ConnectWithin(socket.get(), a->ai_addr, a->ai_addrlen, kHttpReplyTimeoutMs)) return true;
  }
  socket.reset();
  return false;
}

bool SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EINTR)) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, kHttpReplyTimeoutMs) <= 0) return false;
      continue;
    }
    return false;
  }
  return true;
}

bool HasData(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

// Fills buffer with what the server sends, returns the number of bytes.
// Successive reads go after each other: a reply that arrives in several
// segments (the header and the body are often separate) must not overwrite
// its own beginning. Reads stop at the end of the stream, on an error, when
// the buffer is full, or at the reply deadline.
int ReceiveReply(int fd, char* buffer, SteadyClock::time_point requestSent) {
  while (!HasData(fd)) {
    if (MillisecondsSince(requestSent) > kHttpReplyTimeoutMs) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(kHttpPollIntervalMs));
  }
  int total = 0;
  while (total < kHttpBufferSize) {
    ssize_t n = ::recv(fd, buffer + total, static_cast<std::size_t>(kHttpBufferSize - total), 0);
    if (n > 0) {
      total += static_cast<int>(n);
      continue;
    }
    if (n == 0) break;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) break;
    int left = kHttpReplyTimeoutMs - MillisecondsSince(requestSent);
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, left) <= 0) break;
  }
  return total;
}

void TrimSpaces(std::string& text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  std::size_t last = text.find_last_not_of(' ');
  text = text.substr(first, last - first + 1);
}

}  // namespace

HttpUrl SplitHttpUrl(const std::string& url) {
  HttpUrl result;
  std::string rest = url;
  std::size_t scheme = rest.find("://");
  if (scheme != std::string::npos) rest = rest.substr(scheme + 3);
  std::size_t slash = rest.find('/');
  std::string site = rest.substr(0, slash);
  if (slash != std::string::npos) result.path = rest.substr(slash + 1);
  std::size_t colon = site.rfind(':');
  if (colon != std::string::npos) {
    std::string port = site.substr(colon + 1);
    site = site.substr(0, colon);
    if (!port.empty()) result.port = port;
  }
  result.host = site;
  return result;
}

std::string BuildHttpRequest(const HttpUrl& url, const std::string& agent) {
  const std::string& userAgent = agent.empty() ? std::string(kDefaultHttpAgent) : agent;
  return "GET /" + url.path + " HTTP/1.0\r\n" + "Host: " + url.host + "\r\n" + "Accept: */*\r\n" +
         "User-Agent: " + userAgent + "\r\n" + "Connection: close\r\n\r\n";
}

bool IsOkStatusLine(std::string_view reply) {
  // "HTTP/1.0 200 OK": the version, one space, the three-digit code and a
  // space or the line end; the reason text is free.
  if (!reply.starts_with("HTTP/1.")) return false;
  const std::size_t space = reply.find(' ');
  if (space == std::string_view::npos || space > reply.find("\r\n")) return false;
  const std::string_view rest = reply.substr(space + 1);
  return rest.starts_with("200") && (rest.size() == 3 || rest[3] == ' ' || rest[3] == '\r');
}

std::string ExtractReplyHead(const std::string& reply) {
  std::string text = reply.substr(0, reply.find('\0'));
  // An error page (a 500 or a 404 from a proxy) may well begin with digits;
  // only the server's own file counts.
  if (!IsOkStatusLine(text)) return {};
  std::size_t headerEnd = text.find("\r\n\r\n");
  if (headerEnd == std::string::npos) return {};
  std::string body = text.substr(headerEnd + 4);
  std::size_t bodyEnd = body.find("\r\n\r\n");
  if (bodyEnd != std::string::npos) body.resize(bodyEnd);
  TrimSpaces(body);
  return body.substr(0, 3);
}

std::string HttpFetch(const std::string& url, const std::string& agent) {
  const HttpUrl parts = SplitHttpUrl(url);
  if (parts.host.empty()) return {};

  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kHttpBufferSize]());
  if (!buffer) return {};

  Socket socket;
  if (!OpenConnection(parts, socket)) return {};
  if (!SendAll(socket.get(), BuildHttpRequest(parts, agent))) return {};
  const auto requestSent = SteadyClock::now();
  const int received = ReceiveReply(socket.get(), buffer.get(), requestSent);
  socket.reset();

  return ExtractReplyHead(std::string(buffer.get(), static_cast<std::size_t>(received)));
}

}  // namespace lumafold

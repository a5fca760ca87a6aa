#include "ui/hand_over.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace lumafold::ui {
namespace {

constexpr char kAcknowledgement[] = "ok\n";
// Far more than any file manager's selection; a sender that goes past it is
// no copy of this program.
constexpr std::size_t kMessageLimit = 16 << 20;
// A window that has just taken the guard opens its socket a moment later.
constexpr auto kConnectPatience = std::chrono::seconds(2);
// The window answers from its event loop, which the update check may hold
// for about ten seconds.
constexpr int kAnswerPatienceMs = 20000;
// A connection that sends nothing more for this long is given up.
constexpr int kStallMs = 10000;

bool SocketAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string HandOverSocketPath(const std::string& lockPath) {
  constexpr std::string_view kLockSuffix = ".lock";
  std::string base = lockPath;
  if (base.ends_with(kLockSuffix)) base.resize(base.size() - kLockSuffix.size());
  return base + ".socket";
}

HandOverOutcome HandOverFiles(const std::string& socketPath,
                              const std::vector<std::string>& absolutePaths) {
  sockaddr_un address;
  if (!SocketAddress(socketPath, address)) return HandOverOutcome::kNoWindow;
  int fd = -1;
  const auto giveUp = std::chrono::steady_clock::now() + kConnectPatience;
  for (;;) {
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return HandOverOutcome::kNoWindow;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) break;
    const int error = errno;
    ::close(fd);
    if ((error != ENOENT && error != ECONNREFUSED && error != EAGAIN) ||
        std::chrono::steady_clock::now() >= giveUp)
      return HandOverOutcome::kNoWindow;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }

  std::string message;
  for (const std::string& path : absolutePaths) {
    message += path;
    message += '\0';
  }
  message += '\0';
  HandOverOutcome outcome = HandOverOutcome::kNoAnswer;
  if (WriteAll(fd, message.data(), message.size())) {
    std::string answer;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerPatienceMs);
    while (answer.size() < std::strlen(kAcknowledgement)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd wait{fd, POLLIN, 0};
      const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      char bytes[8];
      const ssize_t n = ::recv(fd, bytes, sizeof bytes, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      answer.append(bytes, static_cast<std::size_t>(n));
    }
    if (answer.starts_with(kAcknowledgement)) outcome = HandOverOutcome::kHandedOver;
  }
  ::close(fd);
  return outcome;
}

struct HandOverServer::Connection {
  std::unique_ptr<QSocketNotifier> notifier;
  std::unique_ptr<QTimer> stall;
  std::string bytes;
};

HandOverServer::HandOverServer(const std::string& socketPath, Receiver receiver)
    : path_(socketPath), receiver_(std::move(receiver)) {
  sockaddr_un address;
  if (!SocketAddress(path_, address)) return;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  // Only a socket is replaced: anything else at the path is left alone, and
  // the window then simply takes no hand-overs.
  struct stat info {};
  if (::lstat(path_.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) ::unlink(path_.c_str());
  // Made private from the start: a umask-wide socket would be open to others
  // until a later chmod.
  const mode_t oldMask = ::umask(0177);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::umask(oldMask);
  if (!bound || ::listen(fd, 8) != 0) {
    ::close(fd);
    return;
  }
  listenFd_ = fd;
  listenNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(listenNotifier_.get(), &QSocketNotifier::activated, this, [this] { accept(); });
}

HandOverServer::~HandOverServer() {
  for (auto& [fd, connection] : connections_) {
    connection.reset();
    ::close(fd);
  }
  connections_.clear();
  listenNotifier_.reset();
  if (listenFd_ < 0) return;
  ::close(listenFd_);
  ::unlink(path_.c_str());
}

void HandOverServer::accept() {
  const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  auto connection = std::make_unique<Connection>();
  connection->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(connection->notifier.get(), &QSocketNotifier::activated, this,
                   [this, fd] { read(fd); });
  connection->stall = std::make_unique<QTimer>();
  connection->stall->setSingleShot(true);
  QObject::connect(connection->stall.get(), &QTimer::timeout, this, [this, fd] { drop(fd); });
  connection->stall->start(kStallMs);
  connections_[fd] = std::move(connection);
}

void HandOverServer::read(int fd) {
  const auto found = connections_.find(fd);
  if (found == connections_.end()) return;
  Connection& connection = *found->second;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0 || connection.bytes.size() + static_cast<std::size_t>(n) > kMessageLimit) {
      drop(fd);
      return;
    }
    connection.bytes.append(buffer, static_cast<std::size_t>(n));
  }
  connection.stall->start(kStallMs);
  // Complete once an empty path follows the last one.
  const std::string& bytes = connection.bytes;
  const bool complete = (bytes.size() == 1 && bytes[0] == '\0') ||
                        (bytes.size() >= 2 && bytes.ends_with(std::string_view("\0\0", 2)));
  if (!complete) return;
  QStringList paths;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t end = bytes.find('\0', at);
    const std::string path = bytes.substr(at, end - at);
    at = end + 1;
    // Relative paths would be read against this window's folder, not the
    // sender's; the sender resolves them.
    if (path.starts_with('/')) paths << QString::fromStdString(path);
  }
  WriteAll(fd, kAcknowledgement, std::strlen(kAcknowledgement));
  drop(fd);
  if (!paths.isEmpty()) receiver_(paths);
}

void HandOverServer::drop(int fd) {
  const auto found = connections_.find(fd);
  if (found == connections_.end()) return;
  // Deleted later: this may run inside the notifier's or the timer's own signal.
  found->second->notifier->setEnabled(false);
  found->second->notifier.release()->deleteLater();
  found->second->stall->stop();
  found->second->stall.release()->deleteLater();
  connections_.erase(found);
  ::close(fd);
}

}  // namespace lumafold::ui

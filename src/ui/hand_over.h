// A second window start with files (a file manager's "Open with", the
// desktop entry) hands them to the window that runs instead of failing on
// the instance guard. The running window listens on a Unix domain socket
// beside the guard's lock file; the second copy connects, sends the files'
// absolute paths and waits for the acknowledgement.
//
// On the wire: every path followed by one NUL byte, and one more NUL byte
// (an empty path) that ends the message; the window answers "ok\n" once it
// has taken the paths (it adds them when no dialog is open). Paths cannot
// hold NUL, so no escaping is needed. Only the user reaches the socket: its
// folder is private (0700) and the socket itself is made 0600.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

namespace lumafold::ui {

// The socket beside the lock file `lockPath` ("... .lock" becomes "... .socket").
std::string HandOverSocketPath(const std::string& lockPath);

enum class HandOverOutcome {
  kHandedOver,  // the window acknowledged the paths
  kNoWindow,    // nothing listens on the socket (or it cannot be reached)
  kNoAnswer,    // connected, but no acknowledgement came
};

// The second copy's side: sends `absolutePaths` and waits for the answer.
// A window that has just taken the guard may not listen yet, so a missing or
// refused socket is tried again for a moment.
HandOverOutcome HandOverFiles(const std::string& socketPath,
                              const std::vector<std::string>& absolutePaths);

// The running window's side, on the interface thread's event loop. Any file
// at the socket path is a leftover of a window that ended without removing
// it (only the guard's holder makes one), so it is replaced; the socket is
// removed again when the server goes.
class HandOverServer : public QObject {
 public:
  using Receiver = std::function<void(const QStringList& paths)>;

  HandOverServer(const std::string& socketPath, Receiver receiver);
  ~HandOverServer() override;
  HandOverServer(const HandOverServer&) = delete;
  HandOverServer& operator=(const HandOverServer&) = delete;

  bool listening() const { return listenFd_ >= 0; }

 private:
  struct Connection;
  void accept();
  void read(int fd);
  void drop(int fd);

  std::string path_;
  Receiver receiver_;
  int listenFd_ = -1;
  std::unique_ptr<QSocketNotifier> listenNotifier_;
  std::map<int, std::unique_ptr<Connection>> connections_;
};

}  // namespace lumafold::ui

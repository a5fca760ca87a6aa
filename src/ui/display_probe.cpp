// Asks the X server or the Wayland compositor directly whether it answers,
// before Qt's platform plugin would abort on it.
#include "ui/display_probe.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace lumafold::ui {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// libxcb is what Qt's xcb plugin connects with, so it is present wherever
// that plugin can load; opened at run time, the program needs no X headers
// to build. xcb_connect reads DISPLAY and XAUTHORITY exactly as Qt will.
bool XServerAnswers() {
  if (Variable("DISPLAY").empty()) return false;
  void* library = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!library) return false;
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(dlsym(library, "xcb_connect"));
  auto hasError = reinterpret_cast<HasError>(dlsym(library, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(dlsym(library, "xcb_disconnect"));
  bool answers = false;
  if (connect && hasError && disconnect) {
    // xcb_connect never returns null: a failed connection is an error object
    // that must be released like a good one.
    void* connection = connect(nullptr, nullptr);
    answers = connection && hasError(connection) == 0;
    if (connection) disconnect(connection);
  }
  dlclose(library);
  return answers;
}

// A Wayland compositor listens on a Unix socket: WAYLAND_DISPLAY as an
// absolute path, or a name inside XDG_RUNTIME_DIR.
bool WaylandAnswers() {
  std::string socketPath = Variable("WAYLAND_DISPLAY");
  if (socketPath.empty()) return false;
  if (socketPath.front() != '/') {
    const std::string runtime = Variable("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    socketPath = runtime + "/" + socketPath;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return answers;
}

bool PlatformAnswers(std::string_view platform) {
  // "xcb:nograb" -> "xcb"
  platform = platform.substr(0, platform.find(':'));
  if (platform == "xcb") return XServerAnswers();
  if (platform.substr(0, 7) == "wayland") return WaylandAnswers();
  return !platform.empty();
}

}  // namespace

bool DisplayReachable() {
  const std::string chosen = Variable("QT_QPA_PLATFORM");
  if (chosen.empty()) return XServerAnswers() || WaylandAnswers();
  // Qt tries a ";"-separated list in order and takes the first that starts.
  std::string_view rest = chosen;
  while (!rest.empty()) {
    const std::size_t end = rest.find(';');
    if (PlatformAnswers(rest.substr(0, end))) return true;
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return false;
}

int ReportNoDisplay(const std::string& programName) {
  std::fprintf(stderr,
               "%s: no display to open the window on; to convert from the command line "
               "use -i (see %s --help)\n",
               programName.c_str(), programName.c_str());
  return 1;
}

}  // namespace lumafold::ui

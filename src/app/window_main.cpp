// lumafold-window: the desktop face, started by the lumafold command (by
// exec, so in the same process) as "lumafold-window FACE PARAMETERS...".
// Only this program links Qt.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/instance_guard.h"
#include "app/window_launch.h"
#include "engine/app_context.h"
#include "engine/image_libraries.h"
#include "settings/product.h"
#include "ui/hand_over.h"
#include "ui/uninstall_prompt.h"
#include "ui/window_face.h"

namespace lumafold {
namespace {

bool IsWindowOption(std::string_view parameter) {
  if (parameter.size() != 8) return false;
  constexpr std::string_view kOption = "--window";
  for (std::size_t i = 0; i < parameter.size(); ++i) {
    const char c = parameter[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kOption[i]) return false;
  }
  return true;
}

// Another window holds the guard. Files given to this start go to that
// window, which comes to the front; without files, or when it does not
// answer, this start ends as a second copy does.
int HandOverOrRefuse(const std::string& socketPath, const std::vector<std::string>& files) {
  const std::string title(kProductTitle);
  if (!files.empty()) {
    std::vector<std::string> paths;
    // Against this copy's folder: the window runs in a folder of its own.
    for (const std::string& file : files) {
      std::error_code unreadableFolder;
      const std::filesystem::path path = std::filesystem::absolute(file, unreadableFolder);
      if (!unreadableFolder) paths.push_back(path.string());
    }
    if (ui::HandOverFiles(socketPath, paths) == ui::HandOverOutcome::kHandedOver) return 0;
    std::fprintf(stderr, "%s: the running window does not answer; the files were not handed to it.\n",
                 title.c_str());
  }
  std::fprintf(stderr, "%s is already running.\n", title.c_str());
  return 1;
}

int RunWindowProgram(int argc, char** argv) {
  auto context = std::make_unique<AppContext>();
  if (argc > 0 && argv[0] != nullptr) context->programName = ProgramNameFromPath(argv[0]);
  const std::string face = argc > 1 ? argv[1] : "";
  if (face != kWindowFace && face != kUninstallFace) {
    std::fprintf(stderr, "%s: lumafold-window is started by lumafold; run lumafold instead\n",
                 std::string(kProductTitle).c_str());
    return 1;
  }
  // Qt sees the parameters the user gave (-platform, -style ...), without
  // the face; "--window FILE..." gives the files instead.
  std::vector<char*> qtArguments{argv[0]};
  std::vector<std::string> files;
  if (argc > 2 && IsWindowOption(argv[2])) {
    for (int i = 3; i < argc; ++i) files.emplace_back(argv[i]);
  } else {
    for (int i = 2; i < argc; ++i) qtArguments.push_back(argv[i]);
  }
  int qtCount = static_cast<int>(qtArguments.size());
  qtArguments.push_back(nullptr);

  InitImageLibraries();
  int status = 0;
  InstanceGuard guard;
  if (face == kUninstallFace) {
    // The prompt touches no shared state and runs beside a window.
    status = RunUninstallPrompt(*context, qtCount, qtArguments.data());
  } else {
    const std::string lockPath = InstanceGuardPath();
    switch (guard.Acquire(lockPath)) {
      case InstanceGuard::Outcome::kHeldElsewhere:
        status = HandOverOrRefuse(ui::HandOverSocketPath(lockPath), files);
        break;
      case InstanceGuard::Outcome::kAcquired:
        status = RunWindow(*context, qtCount, qtArguments.data(), files,
                           ui::HandOverSocketPath(lockPath));
        break;
      case InstanceGuard::Outcome::kUnavailable:
        // The guard protects the settings file, which only the window
        // writes. A copy that cannot open the lock file (no writable runtime
        // or settings folder) still runs, refusing to work would be worse
        // than two windows; but it owns no hand-over socket, which may be
        // another window's.
        status = RunWindow(*context, qtCount, qtArguments.data(), files);
        break;
    }
  }
  std::fflush(stdout);
  guard.Release();
  ShutdownImageLibraries();
  return status;
}

}  // namespace
}  // namespace lumafold

int main(int argc, char** argv) { return lumafold::RunWindowProgram(argc, argv); }

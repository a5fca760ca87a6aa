// Converts the named Photo CD files to JPEG (quality 95) in OUTDIR through
// the conversion worker on its own thread, as the command line does.
//
//   lumafold-bench OUTDIR FILE...
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>
#include <thread>

#include "engine/app_context.h"
#include "engine/run/conversion_worker.h"
#include "engine/image_libraries.h"
#include "engine/writers/write_output.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTDIR FILE...\n", argv[0]);
    return 2;
  }
  lumafold::InitImageLibraries();
  lumafold::AppContext context;
  context.settings.resetToDefaults(lumafold::SettingsMode::CommandLine);
  context.settings.output.format = "jpg";
  context.settings.output.jpgQuality = 95;
  if (!lumafold::PrepareJobForOutput(context.job, context.settings, context.formats)) return 2;

  std::array<char, 4096> cwd{};
  const std::string here = ::getcwd(cwd.data(), cwd.size()) ? cwd.data() : ".";
  const auto absolute = [&](const std::string& path) {
    return !path.empty() && path.front() == '/' ? path : here + "/" + path;
  };
  std::string folder = absolute(argv[1]);
  if (folder.back() != '/') folder += '/';
  context.job.outputFolder = folder;
  context.job.reset();
  for (int i = 2; i < argc; ++i) context.inputs.add(absolute(argv[i]), "");

  context.progress.zero();
  context.progress.running = true;
  std::thread worker([&] { lumafold::ConversionWorker(context); });
  worker.join();
  lumafold::ShutdownImageLibraries();

  const int files = argc - 2;
  std::printf("%d of %d converted\n", context.progress.convertedCount, files);
  // The engine's own high-water mark, without the converter processes.
  if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
    std::array<char, 256> line{};
    while (std::fgets(line.data(), line.size(), status))
      if (std::string(line.data()).rfind("VmHWM:", 0) == 0) std::printf("engine %s", line.data());
    std::fclose(status);
  }
  return context.progress.convertedCount == files ? 0 : 1;
}

// The list-file import on arbitrary list text, against a small folder tree
// with the awkward cases a list may name: folders called *.pcd, empty files,
// a FIFO, upper-case extensions and a symbolic link back to its own folder.
//
// The target runs inside that tree. So that a line such as "/" or "../.."
// cannot send the walk over the whole machine, a leading "/" is taken as the
// tree's own root and ".." as "._".
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/app_context.h"
#include "engine/run/input_import.h"
#include "fuzz_support.h"

using namespace lumafold;

namespace {

const std::string& Tree() {
  static const std::string tree = [] {
    const std::string root = fuzz::ScratchFolder() + "/tree";
    for (const char* folder : {"", "/sub", "/sub/deeper", "/dir.pcd", "/spaced name"})
      FUZZ_CHECK(::mkdir((root + folder).c_str(), 0700) == 0);
    for (const char* file : {"/a.pcd", "/B.PCD", "/sub/c.pcd", "/sub/deeper/d.pcds",
                             "/spaced name/e f.ppcd", "/photo.jpg", "/sub/x.pcd1"})
      fuzz::WriteWholeFile(root + file, "PCD", 3);
    fuzz::WriteWholeFile(root + "/empty.pcd", "", 0);
    FUZZ_CHECK(::mkfifo((root + "/fifo.pcd").c_str(), 0600) == 0);
    FUZZ_CHECK(::symlink(".", (root + "/sub/loop").c_str()) == 0);
    FUZZ_CHECK(::symlink("a.pcd", (root + "/link.pcd").c_str()) == 0);
    FUZZ_CHECK(::chdir(root.c_str()) == 0);
    return root;
  }();
  return tree;
}

std::string KeptInsideTree(std::string_view text) {
  std::string out;
  bool lineStart = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (lineStart && i == 0 && text.substr(0, 3) == "\xEF\xBB\xBF") {
      out += text.substr(0, 3);
      i += 2;
      continue;
    }
    if (lineStart && c == ' ') {
      out += c;
      continue;
    }
    if (lineStart && c == '/') out += Tree();
    lineStart = c == '\n';
    if (c == '.' && i + 1 < text.size() && text[i + 1] == '.') {
      out += "._";
      ++i;
      continue;
    }
    out += c;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Tree();
  const std::string list = KeptInsideTree({reinterpret_cast<const char*>(data), size});
  const std::string listPath = fuzz::ScratchFolder() + "/list.txt";
  fuzz::WriteWholeFile(listPath, list.data(), list.size());

  AppContext context;
  context.job.inputPath = listPath;
  context.progress.zero();
  context.progress.running = true;
  int told = 0;
  ListFileImport(context, [&](const std::string&) { ++told; });

  FUZZ_CHECK(static_cast<std::size_t>(context.progress.convertedCount) == context.inputs.size());
  FUZZ_CHECK(static_cast<std::size_t>(told) == context.inputs.size());
  for (const InputEntry& entry : context.inputs.ordered()) {
    struct stat info {};
    FUZZ_CHECK(::stat(entry.path.c_str(), &info) == 0);
    FUZZ_CHECK(S_ISREG(info.st_mode) && info.st_size > 0);
    FUZZ_CHECK(context.formats.isAcceptedInput(entry.path));
    // Files added through a list have no subfolder of their own.
    FUZZ_CHECK(entry.relativeSubfolder.empty());
  }
  return 0;
}

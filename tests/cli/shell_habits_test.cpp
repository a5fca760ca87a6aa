// The command line as shells and scripts drive it: patterns expanded into
// many inputs, batches side by side (also beside the window), shares of one
// archive spread over runs, standard descriptors closed, "#RRGGBB" colours
// and the generated shell completion. Every case runs the real binary.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>

#include "run_binary.h"

namespace lumafold {
namespace {

namespace fs = std::filesystem;
using testing::RunResult;
using testing::ScratchFolder;

// Base-resolution samples: the smallest real Photo CD files.
constexpr const char* kBaseSamples[] = {"kodim01.pcd", "kodim03.pcd", "kodim19.pcd", "kodim23.pcd"};

void CopySample(const std::string& sample, const std::string& to) {
  fs::create_directories(fs::path(to).parent_path());
  fs::copy_file(testing::SamplesFolder() + "/" + sample, to);
}

// Every regular file below `folder`, as paths relative to it.
std::set<std::string> FilesBelow(const std::string& folder) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), folder).string());
  return files;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

RunResult RunIn(const std::string& work, const std::vector<std::string>& arguments) {
  return testing::Run(testing::LumafoldBinary(), arguments, work,
                      testing::IsolatedEnvironment(work));
}

// A shell line run in `work`, the binary as $0 (so "$0" in the line).
RunResult Shell(const std::string& work, const std::string& line) {
  return testing::Run("/bin/sh", {"-c", line, testing::LumafoldBinary()}, work,
                      testing::IsolatedEnvironment(work));
}

TEST(ShellHabits, EveryFileOfAShellPatternIsConverted) {
  ScratchFolder work("lumafold-glob");
  for (const char* name : {"a", "b", "c", "d", "e", "f"})
    CopySample(kBaseSamples[name[0] % 4], work.path() + "/in/" + name + ".pcd");
  fs::create_directories(work.path() + "/out");

  // The shell expands the pattern; one file is named again on its own.
  const RunResult run = Shell(work.path(), "exec \"$0\" -q -i in/*.pcd in/a.pcd -o out -c bmp");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(FilesBelow(work.path() + "/out"),
            (std::set<std::string>{"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp", "f.bmp"}));

  // Without -q the summary counts the whole set, each file once.
  fs::remove_all(work.path() + "/out");
  fs::create_directories(work.path() + "/out");
  const RunResult loud = Shell(work.path(), "exec \"$0\" in/*.pcd -o out --jobs=1");
  EXPECT_EQ(loud.status, 0) << loud.err;
  EXPECT_NE(loud.out.find("Import complete, new files added: 6\n"), std::string::npos) << loud.out;
  EXPECT_NE(loud.out.find("Files converted: 6 of 6\n"), std::string::npos) << loud.out;
}

// A shell pattern's files: one that cannot be read (missing, empty, a FIFO,
// a link to nothing) fails alone, named, and the others convert (status 2);
// when none can serve, the lone input's "Error: " line ends the run.
TEST(ShellHabits, OneBadInputAmongManyFailsAloneAndTheOthersConvert) {
  ScratchFolder work("lumafold-glob");
  CopySample("kodim23.pcd", work.path() + "/a.pcd");
  std::ofstream(work.path() + "/empty.pcd").close();
  ASSERT_EQ(mkfifo((work.path() + "/fifo.pcd").c_str(), 0600), 0);
  fs::create_symlink(work.path() + "/gone.pcd", work.path() + "/dangling.pcd");
  const RunResult run = RunIn(work.path(), {"-q", "a.pcd", "missing.pcd", "empty.pcd", "fifo.pcd",
                                            "dangling.pcd", "-o", "."});
  EXPECT_EQ(run.status, 2);
  const std::string w = work.path();
  EXPECT_EQ(run.err, "Not converted: " + w + "/missing.pcd: No such file or directory\n" +
                         "Not converted: " + w + "/empty.pcd: the file is empty\n" +
                         "Not converted: " + w + "/fifo.pcd: not a regular file\n" +
                         "Not converted: " + w + "/dangling.pcd: a symbolic link to nothing\n");
  EXPECT_TRUE(fs::exists(w + "/a.bmp"));

  const RunResult none = RunIn(work.path(), {"-q", "missing.pcd", "empty.pcd", "-o", "."});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "Error: Invalid input file\n  " + w + "/missing.pcd: No such file or directory\n");
}

// Holds the window's instance guard, as an open window does.
class WindowGuard {
 public:
  explicit WindowGuard(const std::string& home) {
    const std::string path = home + "/.run/Quorvane Lumafold 2.6.lock";
    fs::create_directories(home + "/.run");
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    held_ = fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) == 0;
  }
  ~WindowGuard() {
    if (fd_ >= 0) close(fd_);
  }
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

TEST(ShellHabits, BatchesRunSideBySideAndBesideTheWindow) {
  ScratchFolder work("lumafold-parallel");
  for (const char* name : {"one/a.pcd", "one/b.pcd", "two/c.pcd", "two/d.pcd"})
    CopySample("kodim23.pcd", work.path() + "/" + name);
  fs::create_directories(work.path() + "/out");
  const WindowGuard window(work.path());
  ASSERT_TRUE(window.held());

  auto first = std::async(std::launch::async, [&] {
    return RunIn(work.path(), {"-q", "-i", "one/", "-o", "out", "--jobs=1"});
  });
  auto second = std::async(std::launch::async, [&] {
    return RunIn(work.path(), {"-q", "-i", "two/", "-o", "out", "--jobs=1"});
  });
  const RunResult a = first.get();
  const RunResult b = second.get();
  EXPECT_EQ(a.status, 0) << a.err;
  EXPECT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(a.err + b.err, "");
  EXPECT_EQ(FilesBelow(work.path() + "/out"),
            (std::set<std::string>{"a.bmp", "b.bmp", "c.bmp", "d.bmp"}));
  // Neither left anything of its own in the shared output folder or in the
  // runtime folder beside the window's lock.
  EXPECT_EQ(FilesBelow(work.path() + "/.run"),
            (std::set<std::string>{"Quorvane Lumafold 2.6.lock"}));
}

TEST(ShellHabits, ShardsSplitTheArchiveAsOneRunWouldConvertIt) {
  ScratchFolder work("lumafold-shard");
  const std::vector<std::string> names = {"a.pcd",        "b.pcd",       "disc1/c.pcd",
                                          "disc1/d.pcd",  "disc2/e.pcd", "disc2/x/f.pcd",
                                          "disc2/x/g.pcd"};
  for (std::size_t i = 0; i < names.size(); ++i)
    CopySample(kBaseSamples[i % 4], work.path() + "/archive/" + names[i]);
  for (const char* folder : {"whole", "shards"}) fs::create_directories(work.path() + "/" + folder);

  const RunResult whole = RunIn(work.path(), {"-q", "-i", "archive", "-o", "whole", "-c", "png"});
  ASSERT_EQ(whole.status, 0) << whole.err;
  const std::set<std::string> expected = FilesBelow(work.path() + "/whole");
  ASSERT_EQ(expected.size(), names.size());

  // The archive is reached through another path, as another machine would
  // mount it: the shares must not change with it.
  fs::create_symlink(work.path() + "/archive", work.path() + "/mounted-elsewhere");
  std::set<std::string> union_;
  std::size_t total = 0;
  for (int k = 0; k < 3; ++k) {
    const std::string out = work.path() + "/shard" + std::to_string(k);
    fs::create_directories(out);
    const std::string input = k == 1 ? "mounted-elsewhere/" : "archive/";
    const RunResult run = RunIn(work.path(), {"-q", "-i", input, "-o", out, "-c", "png",
                                              "--shard=" + std::to_string(k) + "/3"});
    EXPECT_EQ(run.status, 0) << k << run.err;
    const std::set<std::string> share = FilesBelow(out);
    total += share.size();
    union_.insert(share.begin(), share.end());
    // Byte for byte what the single run wrote under the same name.
    for (const std::string& file : share)
      EXPECT_EQ(ReadBytes(out + "/" + file), ReadBytes(work.path() + "/whole/" + file)) << file;
  }
  EXPECT_EQ(total, expected.size());  // no file in two shares
  EXPECT_EQ(union_, expected);        // and none left out

  for (const char* bad :
       {"--shard=3/3", "--shard=1", "--shard=-1/2", "--shard=0/0", "--shard=a/b"}) {
    const RunResult run = RunIn(work.path(), {"-i", "archive", "-o", "shards", bad});
    EXPECT_EQ(run.status, 1) << bad;
    EXPECT_EQ(run.err, std::string("Error: Invalid shard value\n  ") + bad +
                           ": write K/N, with N runs numbered 0 to N-1\n");
  }
  EXPECT_TRUE(FilesBelow(work.path() + "/shards").empty());
}

TEST(ShellHabits, ClosedStandardDescriptorsNeverCatchConsoleText) {
  ScratchFolder work("lumafold-closed");
  CopySample("kodim23.pcd", work.path() + "/a.pcd");
  fs::create_directories(work.path() + "/out");
  // The banner and the -d lines would be the first writes to descriptor 1;
  // the first file the program opens would take that number if it stayed
  // closed.
  const RunResult run = Shell(work.path(), "exec \"$0\" -d -i a.pcd -o out -c bmp >&- 2>&- <&-");
  EXPECT_EQ(run.status, 0);
  const std::string bmp = ReadBytes(work.path() + "/out/a.bmp");
  ASSERT_GT(bmp.size(), 2u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(bmp.find("Quorvane"), std::string::npos);
  EXPECT_EQ(bmp.find("Processing: "), std::string::npos);
  const RunResult identify =
      testing::Run("/usr/bin/identify", {"-format", "%w %h", work.path() + "/out/a.bmp"},
                   work.path(), testing::IsolatedEnvironment(work.path()));
  EXPECT_EQ(identify.out, "768 512");
}

TEST(ShellHabits, HashColoursDrawTheirColour) {
  ScratchFolder work("lumafold-colour");
  CopySample("kodim23.pcd", work.path() + "/a.pcd");
  fs::create_directories(work.path() + "/out");
  const RunResult run =
      RunIn(work.path(),
            {"-q", "-i", "a.pcd", "-o", "out", "-c", "png", "--fr-solid-left=6", "--fr-solid-top=6",
             "--fr-solid-left-color=#FF8000", "--fr-solid-top-color=#ff8000"});
  ASSERT_EQ(run.status, 0) << run.err;
  // The corner pixel, read back by ImageMagick.
  const RunResult pixel = testing::Run(
      "/usr/bin/convert", {work.path() + "/out/a.png", "-crop", "1x1+0+0", "-depth", "8", "txt:-"},
      work.path(), testing::IsolatedEnvironment(work.path()));
  EXPECT_NE(pixel.out.find("#FF8000"), std::string::npos) << pixel.out;
}

// Sources the generated script in a plain bash (no bash-completion package)
// and completes `line` as if Tab was pressed at its end.
std::vector<std::string> Complete(const std::string& work, const std::string& line) {
  const std::string script =
      "source <(\"$0\" --completion=bash) || exit 9\n"
      "COMP_LINE=\"$1\"; COMP_POINT=${#COMP_LINE}\n"
      "read -ra COMP_WORDS <<< \"$COMP_LINE\"; COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))\n"
      "[[ $COMP_LINE == *' ' ]] && COMP_CWORD=${#COMP_WORDS[@]}\n"
      "_lumafold lumafold\n"
      "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
  const RunResult run = testing::Run("/bin/bash", {"-c", script, testing::LumafoldBinary(), line},
                                     work, testing::IsolatedEnvironment(work));
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> words;
  std::istringstream lines(run.out);
  for (std::string word; std::getline(lines, word);)
    if (!word.empty()) words.push_back(word);
  return words;
}

TEST(ShellHabits, BashCompletionOffersOptionsKeywordsAndFormats) {
  ScratchFolder work("lumafold-complete");
  const RunResult registered =
      testing::Run("/bin/bash",
                   {"-c", "source <(\"$0\" --completion=bash) && complete -p lumafold",
                    testing::LumafoldBinary()},
                   work.path(), testing::IsolatedEnvironment(work.path()));
  EXPECT_EQ(registered.out, "complete -F _lumafold lumafold\n");

  EXPECT_EQ(Complete(work.path(), "lumafold -c jp"), (std::vector<std::string>{"jp2", "jpg"}));
  EXPECT_EQ(Complete(work.path(), "lumafold --conversion=ti"),
            (std::vector<std::string>{"tiff"}));  // "=" breaks words in bash
  EXPECT_EQ(Complete(work.path(), "lumafold --JPG-Chroma=m"), (std::vector<std::string>{"medium"}));
  EXPECT_EQ(Complete(work.path(), "lumafold --wm-text-position=bottom"),
            (std::vector<std::string>{"bottomleft", "bottomcenter", "bottomright"}));
  EXPECT_EQ(Complete(work.path(), "lumafold --jpg-qual"),
            (std::vector<std::string>{"--jpg-quality="}));
  EXPECT_EQ(Complete(work.path(), "lumafold --greys"), (std::vector<std::string>{"--greyscale"}));
  const std::vector<std::string> options = Complete(work.path(), "lumafold --");
  for (const char* option : {"--input=", "--shard=", "--profile=", "--no-subfolders", "--jobs="})
    EXPECT_NE(std::find(options.begin(), options.end(), option), options.end()) << option;

  fs::create_directories(work.path() + "/scans");
  std::ofstream(work.path() + "/scan1.pcd") << "x";
  EXPECT_EQ(Complete(work.path(), "lumafold -o sc"), (std::vector<std::string>{"scans"}));
  EXPECT_EQ(Complete(work.path(), "lumafold -i scan1"), (std::vector<std::string>{"scan1.pcd"}));
  // Names with blanks come back whole, however the typed part was quoted.
  fs::create_directories(work.path() + "/my scans");
  std::ofstream(work.path() + "/my scans/roll one.pcd") << "x";
  const std::vector<std::string> folder{"my scans"};
  const std::vector<std::string> file{"my scans/roll one.pcd"};
  EXPECT_EQ(Complete(work.path(), "lumafold -o my"), folder);
  EXPECT_EQ(Complete(work.path(), "lumafold -i my\\ scans/r"), file);
  EXPECT_EQ(Complete(work.path(), "lumafold \"my scans/roll"), file);
  EXPECT_EQ(Complete(work.path(), "lumafold --input='my scans/ro"), file);

  const RunResult zsh = RunIn(work.path(), {"--completion=zsh"});
  EXPECT_EQ(zsh.status, 0);
  EXPECT_TRUE(zsh.out.starts_with("#compdef lumafold\n")) << zsh.out;
  EXPECT_NE(zsh.out.find("'-c:value:(bmp dds exr"), std::string::npos) << zsh.out;
  EXPECT_NE(zsh.out.find("'--jpg-chroma=-:value:(none low medium high)'"), std::string::npos);

  const RunResult fish = RunIn(work.path(), {"--completion=fish"});
  EXPECT_EQ(fish.status, 1);
  EXPECT_EQ(fish.err, "Error: Invalid completion shell\n  fish: allowed values are bash, zsh\n");
}

}  // namespace
}  // namespace lumafold

namespace lumafold {
namespace {

// find ... -print0 | lumafold -i - --null: names with spaces and even a
// line break arrive whole; without --null one name a line; a name that is
// not there fails alone.
TEST(ShellHabits, StandardInputListsTheInputs) {
  ScratchFolder work("lumafold-stdin");
  fs::create_directories(work.path() + "/in/two words");
  fs::create_directories(work.path() + "/out");
  fs::create_directories(work.path() + "/lines");
  CopySample("kodim23.pcd", work.path() + "/in/two words/a b.pcd");
  CopySample("kodim23.pcd", work.path() + "/in/line\nbreak.pcd");
  const RunResult nul =
      Shell(work.path(), "find in -name '*.pcd' -print0 | \"$0\" -q -i - --null -o out -c png");
  EXPECT_EQ(nul.status, 0) << nul.err;
  EXPECT_TRUE(fs::exists(work.path() + "/out/a b.png"));
  EXPECT_TRUE(fs::exists(work.path() + "/out/line\nbreak.png"));

  const RunResult lines =
      Shell(work.path(), "printf 'in/two words/a b.pcd\\nin/gone.pcd\\n' | \"$0\" -q -i - -o lines");
  EXPECT_EQ(lines.status, 2);
  EXPECT_EQ(lines.err, "Not converted: " + work.path() + "/in/gone.pcd: No such file or directory\n");
  EXPECT_TRUE(fs::exists(work.path() + "/lines/a b.bmp"));
}

// A folder of the walk that cannot be listed fails alone, named, instead of
// vanishing from the count. Root reads every folder, so as root the run is
// made as nobody.
TEST(ShellHabits, AnUnreadableSubfolderFailsAlone) {
  ScratchFolder work("lumafold-unreadable");
  fs::create_directories(work.path() + "/in/locked");
  fs::create_directories(work.path() + "/out");
  CopySample("kodim23.pcd", work.path() + "/in/a.pcd");
  CopySample("kodim23.pcd", work.path() + "/in/locked/b.pcd");
  for (const char* folder : {"", "/in", "/in/locked", "/out"})
    fs::permissions(work.path() + folder, fs::perms::all);
  fs::permissions(work.path() + "/in/a.pcd", fs::perms::owner_read | fs::perms::others_read);
  fs::permissions(work.path() + "/in/locked", fs::perms::none);
  const std::string as = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const RunResult run = Shell(work.path(), as + "\"$0\" -q -i in -o out");
  fs::permissions(work.path() + "/in/locked", fs::perms::owner_all);
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(run.err, "Not converted: " + work.path() + "/in/locked/: Permission denied\n");
  EXPECT_TRUE(fs::exists(work.path() + "/out/a.bmp"));
}

}  // namespace
}  // namespace lumafold

namespace lumafold {
namespace {

// --dry-run: one line per input, in the batch's order (which follows the
// paths, so compared here as a set), with a collision and a skip named;
// nothing is written and status 2 says an input would fail.
TEST(ShellHabits, DryRunPlansAndWritesNothing) {
  ScratchFolder work("lumafold-plan");
  const std::string w = work.path();
  fs::create_directories(w + "/in/sub");
  fs::create_directories(w + "/out");
  CopySample("kodim01.pcd", w + "/in/a.pcd");
  CopySample("kodim03.pcd", w + "/in/b.pcd");
  CopySample("kodim03.pcd", w + "/in/sub/b.pcd");
  std::ofstream(w + "/in/empty.pcd").close();
  std::ofstream(w + "/out/a.png") << "old";
  const RunResult run = RunIn(w, {"-q", "-i", "in", "-o", "out", "-c", "png", "--no-subfolders",
                                  "--dry-run", "--skip-existing"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "Not converted: " + w + "/in/empty.pcd: the file is empty\n");
  std::istringstream lines(run.out);
  std::vector<std::string> plan;
  for (std::string line; std::getline(lines, line);) plan.push_back(line);
  ASSERT_EQ(plan.size(), 3u) << run.out;
  const auto converts = std::count_if(plan.begin(), plan.end(), [&](const std::string& line) {
    return line.starts_with("Would convert: " + w + "/in/");
  });
  EXPECT_EQ(converts, 2) << run.out;
  EXPECT_NE(run.out.find("b.pcd -> " + w + "/out/b.png (also the output of " + w + "/in/"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Would skip: " + w + "/in/a.pcd: " + w + "/out/a.png is already there\n"),
            std::string::npos);
  std::vector<std::string> written;
  for (const auto& entry : fs::directory_iterator(w + "/out"))
    written.push_back(entry.path().filename().string());
  EXPECT_EQ(written, std::vector<std::string>{"a.png"});
}

}  // namespace
}  // namespace lumafold

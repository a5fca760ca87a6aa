// Running the built lumafold binary under faults: a file-size limit, an
// unprivileged user (so that a read-only folder really is read-only when
// the suite runs as root), a private $TMPDIR whose leftovers can be counted,
// and stand-in decoders written as small shell scripts.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace lumafold::testing {

struct FaultRun {
  int status = -1;        // exit status; -1 when killed by a signal
  int signal = 0;         // the signal that ended it, 0 when it exited
  bool timedOut = false;  // killed by the test after its time limit
  double seconds = 0.0;
  std::string out;
  std::string err;
};

// One scratch folder per test, with home/ (HOME and the XDG folders), tmp/
// (the run's TMPDIR), in/ and out/.
class FaultScratch {
 public:
  FaultScratch();
  ~FaultScratch();
  FaultScratch(const FaultScratch&) = delete;
  FaultScratch& operator=(const FaultScratch&) = delete;

  const std::string& path() const { return path_; }
  std::string home() const { return path_ + "/home"; }
  std::string tmp() const { return path_ + "/tmp"; }
  std::string in() const { return path_ + "/in"; }
  std::string out() const { return path_ + "/out"; }

  // The environment of a run: isolated home, TMPDIR = tmp(), no display,
  // no stand-in decoder unless the test sets LUMAFOLD_CONVERT itself.
  std::map<std::string, std::string> environment() const;

 private:
  std::string path_;
};

struct FaultOptions {
  std::map<std::string, std::string> environment;
  std::string workingDirectory;  // empty: "/"
  long long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes for lumafold and its children
  // Run as the unprivileged user "nobody" when the suite runs as root (see
  // HandToUnprivileged for the files it must reach).
  bool unprivileged = false;
  // Standard output is a pipe whose reading end is already closed, as after
  // `lumafold ... | head -1`; out stays empty.
  bool closedStdout = false;
  int timeoutSeconds = 180;
  // Called once the program has started, with its process id (to signal
  // it); the wait for its end follows.
  std::function<void(pid_t)> whileRunning;
};

// The option that sends Photo CD files through ImageMagick's convert (or the
// stand-in named by LUMAFOLD_CONVERT) instead of the built-in decoder.
inline constexpr const char* kExternalDecoder = "--pcd-decoder=external";

// A run's standard output and error, for the message of a failed check.
std::string Dump(const FaultRun& run);

// Options for a run in `scratch`'s environment.
FaultOptions OptionsFor(const FaultScratch& scratch);
// The same with `converter` started in place of ImageMagick's convert.
FaultOptions WithConverter(const FaultScratch& scratch, const std::string& converter);

// Polls `ready` every 20 ms until it holds or `seconds` pass; its last answer.
bool WaitUntil(const std::function<bool()>& ready, int seconds = 60);

FaultRun RunLumafoldUnder(const std::vector<std::string>& arguments, const FaultOptions& options);

// The uid and gid an unprivileged run uses (nobody when root, else our own).
uid_t UnprivilegedUid();
gid_t UnprivilegedGid();
// Gives `path` and everything below it to that user.
void HandToUnprivileged(const std::string& path);

// Makes a folder read-only for a run, also when the suite runs as root:
// by its mode for an ordinary user; as root by running as "nobody" when
// that user can reach the program (and the leak suppressions), else by the
// immutable attribute. The destructor undoes the attribute.
class ReadOnlyFolder {
 public:
  ReadOnlyFolder(const FaultScratch& scratch, const std::string& folder, FaultOptions& options);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
  // How it was done ("mode", "unprivileged user", "immutable"), or empty
  // when no way worked.
  const std::string& way() const { return way_; }

 private:
  std::string folder_;
  std::string way_;
};

// Writes an executable /bin/sh script.
void WriteScript(const std::string& path, const std::string& body);
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);

// Names in a folder (not "." and ".."), sorted; empty when it cannot be read.
using Names = std::vector<std::string>;
Names FolderNames(const std::string& folder);

// Width and height read back by ImageMagick's identify, "" when unreadable.
std::string IdentifySize(const std::string& path);
// Number of pixels in which two images differ (ImageMagick compare -metric AE);
// -1 when they cannot be compared.
long long DifferentPixels(const std::string& a, const std::string& b);

// The -d trace read back: input path -> "OK" or "Not OK", and the "Reason: "
// line of a file when it printed one.
struct TracedFile {
  std::string outcome;
  std::string reason;
};
std::map<std::string, TracedFile> TraceOutcomes(const std::string& out);

// Copies a sample of the repository into `folder` under `name`.
void CopySample(const std::string& sample, const std::string& folder, const std::string& name = {});
// Copies samples into `folder` under their own names.
void CopySamples(const std::vector<std::string>& samples, const std::string& folder);
// Three Base-size samples of different pictures: the batch most cases run.
inline const std::vector<std::string> kThreeSamples = {"kodim01.pcd", "kodim03.pcd", "kodim19.pcd"};

}  // namespace lumafold::testing

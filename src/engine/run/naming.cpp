// Output naming. Tokens are replaced in the table's order; text that a token
// put in is never searched again, so an input named "%n%.pcd" keeps that
// name instead of turning into a sequence number.
#include "engine/run/naming.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "engine/writers/write_output.h"
#include "settings/text_utils.h"

namespace lumafold {

namespace {

// --- Letter case over UTF-8, with the C library's Unicode tables. ---------

locale_t UnicodeLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

enum class LetterCase { Lower, Upper, Title };

std::string ChangeCase(std::string_view text, LetterCase wanted) {
  const locale_t locale = UnicodeLocale();
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  bool first = true;
  while (pos < text.size()) {
    const std::size_t start = pos;
    char32_t c = 0;
    if (!DecodeUtf8(text, pos, c)) {  // a stray byte is kept as it is
      out.append(text.substr(start, pos - start));
      first = false;
      continue;
    }
    const bool upper = wanted == LetterCase::Upper || (wanted == LetterCase::Title && first);
    if (locale) {
      c = static_cast<char32_t>(upper ? towupper_l(static_cast<wint_t>(c), locale)
                                      : towlower_l(static_cast<wint_t>(c), locale));
    } else if (c < 0x80) {
      c = static_cast<char32_t>(upper ? std::toupper(static_cast<int>(c))
                                      : std::tolower(static_cast<int>(c)));
    }
    AppendUtf8(out, c);
    first = false;
  }
  return out;
}

// --- Token values. ---------------------------------------------------------

std::string FileStem(const std::string& path) {
  const auto slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string ParentFolderName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return {};
  const auto before = path.find_last_of('/', slash - 1);
  return path.substr(before == std::string::npos ? 0 : before + 1,
                     slash - (before == std::string::npos ? 0 : before + 1));
}

// Left-padded with "0" to five characters; a longer number keeps its first
// five (123456 gives 12345), as the mask's fixed-width fields expect.
std::string FiveDigits(std::int64_t value) {
  std::string digits = std::to_string(value);
  if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
  return digits.substr(0, 5);
}

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  return local;
}

struct Token {
  const char* text;  // lower case
  std::function<std::string(const StepContext&)> value;
};

std::int32_t BitDepthOf(const StepContext& context) {
  if (context.file.targetBitDepth != 0) return context.file.targetBitDepth;
  return EffectiveTargetDepth(context.job, context.file);
}

const std::vector<Token>& Tokens() {
  static const std::vector<Token> tokens = {
      {"%filename%", [](const StepContext& c) { return FileStem(c.file.inputPath); }},
      {"%filename[u]%",
       [](const StepContext& c) {
         return ChangeCase(FileStem(c.file.inputPath), LetterCase::Upper);
       }},
      {"%filename[l]%",
       [](const StepContext& c) {
         return ChangeCase(FileStem(c.file.inputPath), LetterCase::Lower);
       }},
      {"%filename[t]%",
       [](const StepContext& c) {
         return ChangeCase(FileStem(c.file.inputPath), LetterCase::Title);
       }},
      {"%ext%", [](const StepContext& c) { return c.job.outputExtension; }},
      {"%ext[u]%",
       [](const StepContext& c) { return ChangeCase(c.job.outputExtension, LetterCase::Upper); }},
      {"%ext[t]%",
       [](const StepContext& c) { return ChangeCase(c.job.outputExtension, LetterCase::Title); }},
      {"%yyyy%",
       [](const StepContext& c) {
         return std::to_string(LocalTime(CurrentTime(c.job)).tm_year + 1900);
       }},
      {"%mm%",
       [](const StepContext& c) { return TwoDigits(LocalTime(CurrentTime(c.job)).tm_mon + 1); }},
      {"%dd%",
       [](const StepContext& c) { return TwoDigits(LocalTime(CurrentTime(c.job)).tm_mday); }},
      {"%hh%",
       [](const StepContext& c) { return TwoDigits(LocalTime(CurrentTime(c.job)).tm_hour); }},
      {"%ii%",
       [](const StepContext& c) { return TwoDigits(LocalTime(CurrentTime(c.job)).tm_min); }},
      {"%ss%",
       [](const StepContext& c) { return TwoDigits(LocalTime(CurrentTime(c.job)).tm_sec); }},
      {"%bpp%", [](const StepContext& c) { return std::to_string(BitDepthOf(c)); }},
      {"%width%", [](const StepContext& c) { return std::to_string(c.file.workingWidth); }},
      {"%height%", [](const StepContext& c) { return std::to_string(c.file.workingHeight); }},
      {"%rnd%", [](const StepContext& c) { return FiveDigits(c.file.randomNumber); }},
      {"%n%", [](const StepContext& c) { return FiveDigits(c.file.sequenceNumber); }},
      // A shoebox of discs all hold IMG0001.PCD: the disc's name keeps them apart.
      {"%disc%", [](const StepContext& c) { return c.file.discName; }},
      {"%folder%", [](const StepContext& c) { return ParentFolderName(c.file.inputPath); }},
  };
  return tokens;
}

// --- Replacement over pieces of literal text and token values. -------------

struct Piece {
  std::string text;
  bool literal;
};

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t FindIgnoringCase(const std::string& haystack, std::string_view needle,
                             std::size_t from) {
  if (needle.empty() || haystack.size() < needle.size()) return std::string::npos;
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && AsciiLower(haystack[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return i;
  }
  return std::string::npos;
}

std::string ExpandTokens(const std::string& text, const StepContext& context) {
  std::vector<Piece> pieces{{text, true}};
  for (const Token& token : Tokens()) {
    const std::string_view needle = token.text;
    bool present = false;
    for (const Piece& piece : pieces)
      if (piece.literal && FindIgnoringCase(piece.text, needle, 0) != std::string::npos)
        present = true;
    if (!present) continue;
    std::vector<Piece> next;
    for (Piece& piece : pieces) {
      if (!piece.literal) {
        next.push_back(std::move(piece));
        continue;
      }
      std::size_t from = 0;
      for (;;) {
        const std::size_t at = FindIgnoringCase(piece.text, needle, from);
        if (at == std::string::npos) break;
        if (at > from) next.push_back({piece.text.substr(from, at - from), true});
        // Each occurrence asks again, so the clock tokens read the clock
        // when they are replaced.
        next.push_back({token.value(context), false});
        from = at + needle.size();
      }
      if (from < piece.text.size()) next.push_back({piece.text.substr(from), true});
    }
    pieces = std::move(next);
  }
  std::string out;
  for (const Piece& piece : pieces) out += piece.text;
  return out;
}

// Whether `relative` stays inside the folder it is appended to.
bool StaysInside(const std::string& relative) {
  if (!relative.empty() && relative.front() == '/') return false;
  int depth = 0;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    const std::string_view part(relative.data() + start, end - start);
    if (part == "..") {
      if (--depth < 0) return false;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    start = end + 1;
  }
  return true;
}

// The host's name in letters and digits only (at most 24), so that a run
// never takes another machine's temporary files in a shared folder for
// those of a dead run of its own.
const std::string& HostTag() {
  static const std::string tag = [] {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return std::string("host");
    std::string kept;
    for (const char* c = host; *c && kept.size() < 24; ++c)
      if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9'))
        kept += *c;
    return kept.empty() ? std::string("host") : kept;
  }();
  return tag;
}

std::mt19937& LetterEngine() {
  thread_local std::mt19937 engine{std::random_device{}()};
  return engine;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::time_t CurrentTime(const ConversionJob& job) {
  return job.clock ? job.clock() : std::time(nullptr);
}

std::time_t FromLocalSeconds(std::int64_t localSeconds) {
  const std::time_t asUtc = static_cast<std::time_t>(localSeconds);
  std::tm fields{};
  gmtime_r(&asUtc, &fields);
  fields.tm_isdst = -1;
  return std::mktime(&fields);
}

std::vector<std::string> NamingTokens() {
  std::vector<std::string> names;
  for (const Token& token : Tokens()) names.emplace_back(token.text);
  return names;
}

std::string OutputFileName(const StepContext& context) {
  std::string mask = context.settings.advanced.filenameMask;
  if (mask.empty()) mask = "%filename%.%ext%";
  return ExpandTokens(ChangeCase(mask, LetterCase::Lower), context);
}

std::string ExpandWatermarkText(const std::string& text, const StepContext& context) {
  std::size_t percents = 0;
  for (char c : text)
    if (c == '%') ++percents;
  if (percents < 2) return text;
  return ExpandTokens(text, context);
}

bool OutputReplacesAnInput(const StepContext& context) {
  const std::shared_ptr<const InputIdentities>& inputs = context.job.inputIdentities;
  FileConversion& file = context.file;
  if (!inputs || file.outputPath.empty()) return false;
  std::string input;
  if (inputs->paths.contains(file.outputPath)) {
    input = file.outputPath;
  } else {
    struct stat info {};
    if (::stat(WriteTarget(file).c_str(), &info) == 0) {
      const auto found = inputs->files.find({info.st_dev, info.st_ino});
      if (found != inputs->files.end()) input = std::string(found->second);
    }
  }
  if (input.empty()) return false;
  file.failureReason = "the output name is an input of this run, which is left untouched: " + input;
  return true;
}

std::string TemporaryFileName(std::time_t now, std::string_view outputKey) {
  const std::tm local = LocalTime(now);
  const long long localSeconds = static_cast<long long>(now) + local.tm_gmtoff;
  std::string name = std::string(kTemporaryPrefix) + HostTag() + "-" + std::to_string(::getpid()) + "-";
  for (char digit : std::to_string(localSeconds))
    name += digit == '-' ? 'z' : static_cast<char>('a' + (digit - '0'));
  std::uniform_int_distribution<int> letter(0, 25);
  for (int i = 0; i < 5; ++i) name += static_cast<char>('a' + letter(LetterEngine()));
  name += '.';
  name.append(outputKey);
  name.append(kTemporarySuffix);
  return name;
}

std::string ShownPath(const ConversionJob& job, std::string path) {
  const std::string& hidden = job.writeFolder;
  if (hidden.empty()) return path;
  for (std::size_t at = path.find(hidden); at != std::string::npos;
       at = path.find(hidden, at + job.outputFolder.size()))
    path.replace(at, hidden.size(), job.outputFolder);
  return path;
}

pid_t TemporaryFileOwner(std::string_view name) {
  if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) return 0;
  name.remove_prefix(kTemporaryPrefix.size());
  const std::size_t hostEnd = name.find('-');
  if (hostEnd == std::string_view::npos || name.substr(0, hostEnd) != HostTag()) return 0;
  name.remove_prefix(hostEnd + 1);
  const std::size_t pidEnd = name.find('-');
  if (pidEnd == std::string_view::npos || pidEnd == 0 || pidEnd > 10) return 0;
  long long pid = 0;
  for (const char c : name.substr(0, pidEnd)) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? static_cast<pid_t>(pid) : 0;
}

int RemoveDeadRunsTemporaries(const std::string& folder) {
  DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!listing) return 0;
  const uid_t me = ::geteuid();
  const int dirFd = ::dirfd(listing);
  int removed = 0;
  while (const dirent* entry = ::readdir(listing)) {
    const pid_t owner = TemporaryFileOwner(entry->d_name);
    if (owner <= 0 || owner == ::getpid()) continue;
    if (::kill(owner, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to ask
    struct stat info {};
    if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode) || info.st_uid != me)
      continue;
    if (::unlinkat(dirFd, entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(listing);
  return removed;
}

OutputPathStatus BuildOutputPaths(const StepContext& context) {
  FileConversion& file = context.file;
  file.outputPath.clear();
  file.writePath.clear();
  file.temporaryOutputPath.clear();

  const std::string name = OutputFileName(context);
  const std::string subfolder =
      context.settings.advanced.keepSubfolders == 1 ? file.relativeSubfolder : std::string();
  const std::string relative = subfolder + name;
  // A name whose last part is "." or ".." names a folder, not a file.
  const std::string_view last = std::string_view(name).substr(name.find_last_of('/') + 1);
  if (name.empty() || name.back() == '/' || last == "." || last == "..") {
    file.failureReason = "the filename mask gives no file name: \"" + name + "\"";
    return OutputPathStatus::NoFileName;
  }
  if (!StaysInside(relative)) {
    file.failureReason = "the output name leaves the output folder: \"" + relative + "\"";
    return OutputPathStatus::EscapesOutputFolder;
  }

  std::string folder = context.job.outputFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  file.outputPath = folder + relative;
  file.writePath =
      context.job.writeFolder.empty() ? file.outputPath : context.job.writeFolder + relative;

  // The temporary file goes in the output's own folder, so that the final
  // rename never crosses a file system.
  const std::string outputFolder = file.writePath.substr(0, file.writePath.find_last_of('/') + 1);
  for (int tries = 0; tries < 16; ++tries) {
    file.temporaryOutputPath =
        outputFolder + TemporaryFileName(CurrentTime(context.job), context.job.outputExtension);
    if (!Exists(file.temporaryOutputPath)) break;
  }
  return OutputPathStatus::Ok;
}

}  // namespace lumafold

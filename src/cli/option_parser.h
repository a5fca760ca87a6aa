// The option language of the command line: how a parameter splits into a
// key and a value, how values are read, and which field each option sets.
// Nothing is range-checked here; the batch run does that before converting.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/app_context.h"
#include "settings/format_registry.h"

namespace lumafold {

// The two parse errors; the batch run prints them after "Error: ".
inline constexpr const char* kIncorrectParameterCount = "Incorrect number of parameters";
inline constexpr const char* kInvalidProfileFile = "Invalid profile file";

struct ParseOutcome {
  std::string error;  // empty when every parameter was taken
  // The line printed after the error: the parameter and what is wrong.
  std::string errorDetail;
  bool quiet = false;
  bool pause = false;
  // Every -i value and every parameter that is neither an option nor an
  // option's value (a shell glob's files), in the order given. Together
  // they form one input set.
  std::vector<std::string> inputs;
  // Options that match none of the table, as given; skipped, and named in
  // one warning each.
  std::vector<std::string> unknownOptions;
  // The value of --shard=K/N as given, empty without it; the batch checks it.
  std::string shard;
  // Values not taken as given (a keyword not in its list, a number with
  // text after it, a colour that is none, a profile key that is skipped),
  // one text each, printed after "Warning: " (or "Error: " with --strict).
  std::vector<std::string> warnings;
  // The text each conversion option was last given as, by its lower-case
  // name ("--jpg-quality" -> "abc"), so that a refusal names what the user
  // typed rather than the number it became.
  std::map<std::string, std::string> given;
  // Run options of the command line only (never read from a profile).
  bool strict = false;        // --strict: every warning is an error
  bool dryRun = false;        // --dry-run: plan, write nothing
  bool skipExisting = false;  // --skip-existing: keep outputs already there
  bool nullSeparated = false; // --null: "-i -" reads NUL-separated names
  std::string report;         // --report=FILE: JSON Lines, one per input
  // --contact-sheet: an index print per disc or input folder after the run.
  bool contactSheet = false;
};

// The key of a parameter: empty for a parameter that does not begin with
// "-"; for "--name=value" the part before the first "="; for a single-dash
// parameter the whole text. Upper-cased (ASCII), spaces trimmed first.
std::string OptionKey(std::string_view parameter);

// The value of a parameter: for "--name=value" the text after the first "="
// (searched from the third character on), otherwise the whole trimmed text.
std::string OptionValue(std::string_view parameter);

// A whole number: leading spaces and tabs, an optional sign, then decimal
// digits, "$" and hexadecimal digits, or "%" and binary digits. Reading
// stops at the first other character; no digits gives 0. A number beyond
// the 32-bit range saturates at its nearest end instead of wrapping.
std::int32_t ReadNumber(std::string_view text);

// A decimal number with an optional sign, point and fraction; no digits
// gives 0. Never reads exponents, "inf" or "nan".
float ReadReal(std::string_view text);

// Walks every parameter (the program name excluded), writing the fields of
// context.settings and context.job in the order given. Stops at the first
// error and leaves what was set so far.
ParseOutcome ParseOptions(AppContext& context, const std::vector<std::string>& parameters);

// Applies the `CLI` section of a profile file at this point of the parse.
// False when the file cannot be opened (the path is empty, missing or not a
// readable file); a file without the section is not an error.
bool ApplyProfileFile(AppContext& context, const std::string& path);
// The same, adding what it did not take as given to `outcome`'s warnings.
bool ApplyProfileFile(AppContext& context, const std::string& path, ParseOutcome& outcome);

// The long names of every conversion option ("--JPG-QUALITY", ...), in the
// order of the option table, with the keyword list of those that take one.
struct ConversionOptionInfo {
  std::string_view name;
  std::optional<KeywordSet> keywords;
  bool takesValue = true;  // false for a flag such as --greyscale
};
std::vector<ConversionOptionInfo> ConversionOptions();

}  // namespace lumafold

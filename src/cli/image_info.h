// `lumafold --info[=json] FILE...`: what each file says about itself, one
// block per file as text (exiftool's "Label : value" layout) or one JSON
// array of objects with stable field names for scripts. A block is a list
// of named facts, so other kinds of blocks (a disc's, say) print the same way.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace lumafold {

// Two decimals kept exact: 1172 is 11.72.
struct Hundredths {
  std::int64_t value = 0;
};

// Null: the file does not give the fact ("not given" in text, null in JSON).
using InfoValue = std::variant<std::monostate, std::string, std::int64_t, Hundredths, bool,
                               std::vector<std::string>>;

struct InfoField {
  const char* key;    // JSON name, camelCase, stable
  const char* label;  // text label
  InfoValue value;
};

struct InfoBlock {
  std::string file;   // as given on the command line
  std::string error;  // why the file has no facts; empty otherwise
  std::vector<InfoField> fields;
};

// The facts of an Image Pac: its attributes and every field of its
// information header.
InfoBlock ImagePacBlock(const std::string& path);
// The facts of a disc image or of a folder that holds a disc's PHOTO_CD/.
InfoBlock DiscBlock(const std::string& path);

// Seconds since 1970 as ISO 8601 UTC ("1991-12-10T14:26:52Z").
std::string IsoUtc(std::int64_t seconds);

std::string FormatInfoText(const std::vector<InfoBlock>& blocks);
std::string FormatInfoJson(const std::vector<InfoBlock>& blocks);

// The whole `--info` run over the parameters after the first: prints the
// blocks, an "Error: " line on standard error per file without facts, and
// returns the exit status (0 every file read, 2 some could not be, 1 for
// a wrong format or no file).
int RunInfo(const std::string& firstParameter, const std::vector<std::string>& files);

}  // namespace lumafold

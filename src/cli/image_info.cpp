// The `--info` face: reads each file's header with the decoder library's one
// parser and prints its facts.
#include "cli/image_info.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <string_view>

#include "photocd/disc/disc_image.h"
#include "photocd/photocd.h"

namespace lumafold {

namespace {

std::string VersionText(const std::optional<pcd::Version>& version) {
  if (!version) return {};
  return std::to_string(version->major) + "." + std::to_string(version->minor);
}

InfoValue Text(const std::string& text) {
  if (text.empty()) return std::monostate{};
  return text;
}
InfoValue Text(const char* text) {
  if (!text) return std::monostate{};
  return std::string(text);
}
template <typename T>
InfoValue Number(const std::optional<T>& number) {
  if (!number) return std::monostate{};
  return static_cast<std::int64_t>(*number);
}
InfoValue Time(const std::optional<std::int64_t>& seconds) {
  if (!seconds) return std::monostate{};
  return IsoUtc(*seconds);
}
InfoValue Fixed(const std::optional<int>& hundredths) {
  if (!hundredths) return std::monostate{};
  return Hundredths{*hundredths};
}
template <typename T, typename Name>
InfoValue NameOf(const std::optional<T>& code, Name name) {
  if (!code) return std::monostate{};
  return Text(name(*code));
}

const char* StatusReason(pcd::HeaderStatus status) {
  switch (status) {
    case pcd::HeaderStatus::Unreadable:
      return "cannot be read as a file";
    case pcd::HeaderStatus::NotPhotoCd:
      return "not a Photo CD Image Pac (no PCD_IPI signature)";
    case pcd::HeaderStatus::TooShort:
      return "not a whole Image Pac (it ends before its Base picture)";
    case pcd::HeaderStatus::Ok:
      break;
  }
  return "";
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string HundredthsText(Hundredths number) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(number.value / 100),
                static_cast<long long>(number.value % 100));
  return text;
}

struct ValueText {
  bool json;
  std::string operator()(std::monostate) const { return json ? "null" : "not given"; }
  std::string operator()(const std::string& text) const { return json ? JsonString(text) : text; }
  std::string operator()(std::int64_t number) const { return std::to_string(number); }
  std::string operator()(Hundredths number) const { return HundredthsText(number); }
  std::string operator()(bool flag) const {
    if (json) return flag ? "true" : "false";
    return flag ? "yes" : "no";
  }
  std::string operator()(const std::vector<std::string>& list) const {
    std::string out = json ? "[" : "";
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (i > 0) out += ", ";
      out += json ? JsonString(list[i]) : list[i];
    }
    return json ? out + "]" : out;
  }
};

}  // namespace

std::string IsoUtc(std::int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  if (!::gmtime_r(&time, &parts)) return {};
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

InfoBlock ImagePacBlock(const std::string& path) {
  InfoBlock block;
  block.file = path;
  const pcd::HeaderResult read = pcd::ReadHeader(path);
  if (!read.ok()) {
    block.error = StatusReason(read.status);
    return block;
  }
  const pcd::Header& header = read.header;
  const pcd::Information& info = header.information;

  std::vector<std::string> levels;
  for (int level = 0; level <= static_cast<int>(header.whole); ++level)
    levels.emplace_back(pcd::LevelName(static_cast<pcd::Level>(level)));
  const pcd::LevelSize stored = pcd::SizeOf(header.whole);
  const bool turned = header.rotation % 2 == 1;

  block.fields = {
      {"kind", "Kind", std::string("Photo CD Image Pac")},
      {"file", "File", path},
      {"fileSize", "File Size", static_cast<std::int64_t>(header.fileSize)},
      {"levels", "Levels", levels},
      {"declaredLevel", "Declared Level", std::string(pcd::LevelName(header.declared))},
      {"width", "Width", static_cast<std::int64_t>(turned ? stored.height : stored.width)},
      {"height", "Height", static_cast<std::int64_t>(turned ? stored.width : stored.height)},
      {"rotation", "Stored Rotation", static_cast<std::int64_t>(header.rotation * 90)},
      {"compressionClass", "Compression Class", static_cast<std::int64_t>(header.compressionClass)},
      {"compressionClassName", "Compression Class Name",
       Text(pcd::CompressionClassName(header.compressionClass))},
      {"extension64Base", "64Base Extension", header.extension},
      {"interleaveRatio", "Interleave Ratio", static_cast<std::int64_t>(header.interleave)},
      {"specificationVersion", "Specification Version", Text(VersionText(info.specificationVersion))},
      {"authoringSoftwareRelease", "Authoring Software Release",
       Text(VersionText(info.softwareRelease))},
      {"magnification", "Image Magnification", Fixed(info.magnification)},
      {"scanningTime", "Scanning Time", Time(info.scanningTime)},
      {"modificationTime", "Modification Time", Time(info.modificationTime)},
      {"medium", "Medium", Number(info.medium)},
      {"mediumName", "Medium Name", NameOf(info.medium, pcd::MediumName)},
      {"productType", "Product Type", Text(info.productType)},
      {"scannerVendor", "Scanner Vendor", Text(info.scannerVendor)},
      {"scannerProduct", "Scanner Product", Text(info.scannerProduct)},
      {"scannerFirmware", "Scanner Firmware", Text(info.scannerFirmware)},
      {"scannerFirmwareDate", "Scanner Firmware Date", Text(info.scannerFirmwareDate)},
      {"scannerSerialNumber", "Scanner Serial Number", Text(info.scannerSerial)},
      {"scannerPixelSize", "Scanner Pixel Size (um)", Fixed(info.pixelSize)},
      {"workstation", "Imaging Workstation", Text(info.workstation)},
      {"photofinisherCharacterSet", "Photofinisher Character Set", Number(info.characterSet)},
      {"photofinisher", "Photofinisher", Text(info.photofinisher)},
      {"sceneBalanceRevision", "Scene Balance Revision",
       Text(VersionText(info.sceneBalanceRevision))},
      {"sceneBalanceCommand", "Scene Balance Command", Number(info.sceneBalanceCommand)},
      {"sceneBalance", "Scene Balance", NameOf(info.sceneBalanceCommand, pcd::SceneBalanceName)},
      {"filmTermNumber", "Film Term Number", Number(info.filmTermNumber)},
      {"filmName", "Film", NameOf(info.filmTermNumber, pcd::FilmName)},
      {"copyrightStatus", "Copyright Status",
       info.copyrightStatus == 1 ? InfoValue(std::string("restrictions apply"))
                                 : InfoValue(std::monostate{})},
      {"rightsFile", "Rights File", Text(info.rightsFile)},
  };
  return block;
}

InfoBlock DiscBlock(const std::string& path) {
  InfoBlock block;
  block.file = path;
  const disc::DiscFacts facts = disc::DescribeDisc(path);
  if (!facts.ok) {
    block.error = facts.error;
    return block;
  }
  const auto count = [](int value) {
    return value < 0 ? InfoValue(std::monostate{}) : InfoValue(static_cast<std::int64_t>(value));
  };
  const auto time = [](std::time_t seconds) {
    return seconds == 0 ? InfoValue(std::monostate{}) : InfoValue(IsoUtc(seconds));
  };
  // The serial number, creation time and counts of INFO.PCD and
  // OVERVIEW.PCD come from layouts known only in part: they are told, never
  // trusted, and a fact that does not look sound is "not given".
  block.fields = {
      {"kind", "Kind", std::string("Photo CD disc")},
      {"file", "File", path},
      {"disc", "Disc", Text(facts.name)},
      {"sessions", "Sessions", facts.sessions > 0 ? count(facts.sessions) : InfoValue{}},
      {"pictures", "Pictures", count(facts.pictures)},
      {"volumeId", "Volume", Text(facts.volumeId)},
      {"volumeCreated", "Volume Created", time(facts.volumeCreated)},
      {"discInfoPresent", "INFO.PCD Present", facts.hasInfo},
      {"serialNumber", "Serial Number", Text(facts.serial)},
      {"discCreated", "Disc Created", time(facts.infoCreated)},
      {"discInfoPictures", "Pictures (INFO.PCD)", count(facts.infoPictures)},
      {"overviewPictures", "Overview Thumbnails", count(facts.overviewPictures)},
  };
  return block;
}

bool IsDisc(const std::string& path) {
  if (disc::IsDiscImageName(path)) return true;
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FormatInfoText(const std::vector<InfoBlock>& blocks) {
  constexpr std::size_t kLabelWidth = 28;
  std::string out;
  for (const InfoBlock& block : blocks) {
    if (!block.error.empty()) continue;
    out += "======== " + block.file + "\n";
    for (const InfoField& field : block.fields) {
      std::string label = field.label;
      if (label.size() < kLabelWidth) label.resize(kLabelWidth, ' ');
      out += label + ": " + std::visit(ValueText{false}, field.value) + "\n";
    }
  }
  return out;
}

std::string FormatInfoJson(const std::vector<InfoBlock>& blocks) {
  std::string out = "[";
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const InfoBlock& block = blocks[b];
    out += b == 0 ? "\n  {" : ",\n  {";
    if (!block.error.empty()) {
      out += "\n    \"file\": " + JsonString(block.file) + ",\n    \"error\": " +
             JsonString(block.error) + "\n  }";
      continue;
    }
    for (std::size_t f = 0; f < block.fields.size(); ++f) {
      const InfoField& field = block.fields[f];
      out += (f == 0 ? "\n    " : ",\n    ") + JsonString(field.key) + ": " +
             std::visit(ValueText{true}, field.value);
    }
    out += "\n  }";
  }
  return out + (blocks.empty() ? "]\n" : "\n]\n");
}

int RunInfo(const std::string& firstParameter, const std::vector<std::string>& files) {
  const std::size_t equals = firstParameter.find('=');
  std::string format = equals == std::string::npos ? "text" : firstParameter.substr(equals + 1);
  for (char& c : format)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (format != "text" && format != "json") {
    std::fprintf(stderr,
                 "Error: Invalid info format\n  %s: allowed values are text, json\n",
                 firstParameter.c_str());
    return 1;
  }
  if (files.empty()) {
    std::fprintf(stderr, "Error: Incorrect number of parameters\n  --info needs one or more files\n");
    return 1;
  }
  std::vector<InfoBlock> blocks;
  bool allRead = true;
  for (const std::string& file : files) {
    blocks.push_back(IsDisc(file) ? DiscBlock(file) : ImagePacBlock(file));
    if (!blocks.back().error.empty()) {
      allRead = false;
      std::fprintf(stderr, "Error: %s: %s\n", file.c_str(), blocks.back().error.c_str());
    }
  }
  const std::string out = format == "json" ? FormatInfoJson(blocks) : FormatInfoText(blocks);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return allRead ? 0 : 2;
}

}  // namespace lumafold

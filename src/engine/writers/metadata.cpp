// The metadata step of the writers: exiv2 writes EXIF, XMP and the ICC
// profile into JPEG, TIFF, PNG, WebP, JP2 and PSD files; OpenEXR adds header
// attributes (chromaticities and the scan's facts) to EXR files. The file is
// read into memory, tagged there and written back whole, so no second
// temporary name is needed and a failed tagging leaves the writer's file.
#include "engine/writers/metadata.h"

#include <ImfChromaticitiesAttribute.h>
#include <ImfFloatAttribute.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfIO.h>
#include <ImfOutputFile.h>
#include <ImfStandardAttributes.h>
#include <ImfStdIO.h>
#include <ImfStringAttribute.h>
#include <lcms2.h>
#include <webp/mux.h>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "engine/writers/write_output.h"
#include "settings/product.h"

namespace lumafold {

namespace {

// exiv2 0.27 writes a WebP file's ICC profile as a second VP8X chunk, which
// no decoder opens; its EXIF and XMP are encoded by exiv2 and the chunks
// placed by libwebpmux.
constexpr bool kExiv2PlacesChunks = false;

// The program's own XMP namespace for the facts EXIF has no tag for.
constexpr const char* kNamespace = "http://ns.quorvane.com/lumafold/1.0/";
constexpr const char* kPrefix = "lumafold";

std::mutex xmpToolkitLock;
// exiv2 re-registers its custom namespaces (delete, then add) in the XMP
// toolkit on every packet it writes, outside the toolkit lock: a packet made
// in another thread meanwhile lost its namespace and exiv2 then wrote the
// file without XMP, silently. Packets are made one at a time.
std::mutex xmpPacketLock;
void LockXmpToolkit(void* data, bool locking) {
  auto* lock = static_cast<std::mutex*>(data);
  if (locking)
    lock->lock();
  else
    lock->unlock();
}

struct ProfileDeleter {
  void operator()(cmsHPROFILE profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileDeleter>;

void Describe(cmsHPROFILE profile, const char* text) {
  cmsMLU* description = cmsMLUalloc(nullptr, 1);
  if (!description) return;
  cmsMLUsetASCII(description, "en", "US", text);
  cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
  cmsMLUfree(description);
}

// The sRGB tone curve: IEC 61966-2-1's parametric form.
cmsToneCurve* SrgbCurve() {
  const cmsFloat64Number parameters[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
  return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

const cmsCIExyY kD65{0.3127, 0.3290, 1.0};
const cmsCIExyYTRIPLE kRec709{{0.640, 0.330, 1.0}, {0.300, 0.600, 1.0}, {0.150, 0.060, 1.0}};

Profile MakeProfile(PixelMeaning meaning) {
  switch (meaning) {
    case PixelMeaning::Srgb: {
      Profile profile(cmsCreate_sRGBProfile());
      return profile;
    }
    case PixelMeaning::Grey: {
      cmsToneCurve* curve = SrgbCurve();
      if (!curve) return nullptr;
      Profile profile(cmsCreateGrayProfile(&kD65, curve));
      cmsFreeToneCurve(curve);
      if (profile) Describe(profile.get(), "Grey, sRGB tone curve");
      return profile;
    }
    case PixelMeaning::LinearFloat: {
      cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
      if (!linear) return nullptr;
      cmsToneCurve* curves[3] = {linear, linear, linear};
      Profile profile(cmsCreateRGBProfile(&kD65, &kRec709, curves));
      cmsFreeToneCurve(linear);
      if (profile) Describe(profile.get(), "Linear light, sRGB/Rec. 709 primaries");
      return profile;
    }
    case PixelMeaning::None:
      break;
  }
  return nullptr;
}

// "YYYY:MM:DD HH:MM:SS" (EXIF) or "YYYY-MM-DDTHH:MM:SS+00:00" (XMP) in UTC.
std::string UtcText(std::int64_t seconds, const char* format) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  if (!::gmtime_r(&time, &parts)) return {};
  char text[40];
  std::strftime(text, sizeof text, format, &parts);
  return text;
}
std::string ExifTime(std::int64_t seconds) { return UtcText(seconds, "%Y:%m:%d %H:%M:%S"); }
std::string XmpTime(std::int64_t seconds) { return UtcText(seconds, "%Y-%m-%dT%H:%M:%S+00:00"); }

std::string VersionText(const pcd::Version& version) {
  return std::to_string(version.major) + "." + std::to_string(version.minor);
}

std::string HundredthsText(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d", value / 100, value % 100);
  return text;
}

std::string FilmText(const pcd::Information& info) {
  if (!info.filmTermNumber) return {};
  const char* name = pcd::FilmName(*info.filmTermNumber);
  const std::string number = "film term number " + std::to_string(*info.filmTermNumber);
  return name ? std::string(name) + " (" + number + ")" : number;
}

// The copyright fields: what the status and the rights file say.
std::string RightsText(const pcd::Information& info) {
  if (info.copyrightStatus == 1)
    return info.rightsFile.empty() ? "Restrictions apply"
                                   : "Restrictions apply, see " + info.rightsFile;
  if (!info.rightsFile.empty()) return "See " + info.rightsFile;
  return {};
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream content;
  content << file.rdbuf();
  bytes = content.str();
  return !file.bad();
}

void SetExif(Exiv2::ExifData& exif, const char* key, const std::string& value) {
  if (!value.empty()) exif[key] = value;
}
void SetXmp(Exiv2::XmpData& xmp, const std::string& key, const std::string& value) {
  if (!value.empty()) xmp[key] = value;
}

void AddScanFacts(Exiv2::Image& image, const pcd::Information& info) {
  Exiv2::ExifData& exif = image.exifData();
  Exiv2::XmpData& xmp = image.xmpData();
  const std::string description = ScanDescription(info);
  SetExif(exif, "Exif.Image.ImageDescription", description);
  SetExif(exif, "Exif.Image.Make", info.scannerVendor);
  SetExif(exif, "Exif.Image.Model", info.scannerProduct);
  SetExif(exif, "Exif.Photo.BodySerialNumber", info.scannerSerial);
  if (info.scanningTime) {
    // A film scan's best known date of the picture is its scanning date.
    const std::string when = ExifTime(*info.scanningTime);
    exif["Exif.Photo.DateTimeOriginal"] = when;
    exif["Exif.Photo.OffsetTimeOriginal"] = "+00:00";
    exif["Exif.Photo.DateTimeDigitized"] = when;
    exif["Exif.Photo.OffsetTimeDigitized"] = "+00:00";
    xmp["Xmp.xmp.CreateDate"] = XmpTime(*info.scanningTime);
    xmp["Xmp.photoshop.DateCreated"] = XmpTime(*info.scanningTime);
  }
  if (info.modificationTime) {
    exif["Exif.Image.DateTime"] = ExifTime(*info.modificationTime);
    exif["Exif.Photo.OffsetTime"] = "+00:00";
    xmp["Xmp.xmp.ModifyDate"] = XmpTime(*info.modificationTime);
  }
  const std::string rights = RightsText(info);
  SetExif(exif, "Exif.Image.Copyright", rights);
  if (!rights.empty()) xmp["Xmp.dc.rights"] = "lang=x-default " + rights;
  if (info.copyrightStatus == 1) xmp["Xmp.xmpRights.Marked"] = "True";
  if (!description.empty()) xmp["Xmp.dc.description"] = "lang=x-default " + description;

  const std::string own = std::string("Xmp.") + kPrefix + ".";
  if (info.medium) {
    SetXmp(xmp, own + "Medium", pcd::MediumName(*info.medium));
    xmp[own + "MediumCode"] = std::to_string(*info.medium);
  }
  SetXmp(xmp, own + "ProductType", info.productType);
  if (info.filmTermNumber) {
    xmp[own + "FilmTermNumber"] = std::to_string(*info.filmTermNumber);
    if (const char* film = pcd::FilmName(*info.filmTermNumber)) xmp[own + "Film"] = film;
  }
  SetXmp(xmp, own + "Photofinisher", info.photofinisher);
  if (info.sceneBalanceCommand)
    SetXmp(xmp, own + "SceneBalance", pcd::SceneBalanceName(*info.sceneBalanceCommand));
  if (info.sceneBalanceRevision)
    xmp[own + "SceneBalanceRevision"] = VersionText(*info.sceneBalanceRevision);
  SetXmp(xmp, own + "RightsFile", info.rightsFile);
  if (info.copyrightStatus) xmp[own + "CopyrightStatus"] = std::to_string(*info.copyrightStatus);
  SetXmp(xmp, own + "ScannerFirmware", info.scannerFirmware);
  SetXmp(xmp, own + "ScannerFirmwareDate", info.scannerFirmwareDate);
  if (info.pixelSize) xmp[own + "ScannerPixelSize"] = HundredthsText(*info.pixelSize);
  SetXmp(xmp, own + "Workstation", info.workstation);
  if (info.specificationVersion)
    xmp[own + "SpecificationVersion"] = VersionText(*info.specificationVersion);
}

void FillTags(Exiv2::Image& image, const pcd::Information* info, bool keepMetadata) {
  if (!keepMetadata) return;
  Exiv2::ExifData& exif = image.exifData();
  exif["Exif.Image.Software"] = TitleLine();
  // The pixels are written upright whatever the scan's attribute said.
  exif["Exif.Image.Orientation"] = std::uint16_t{1};
  image.xmpData()["Xmp.xmp.CreatorTool"] = TitleLine();
  if (info) AddScanFacts(image, *info);
}

struct MuxDeleter {
  void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

bool SetChunk(WebPMux* mux, const char* fourcc, const void* bytes, std::size_t size) {
  if (size == 0) return true;
  const WebPData data{static_cast<const std::uint8_t*>(bytes), size};
  return WebPMuxSetChunk(mux, fourcc, &data, 1) == WEBP_MUX_OK;
}

// Reads the finished file, lets `tag` return its tagged bytes (it throws
// what its library reports), and writes them back whole.
template <typename Tag>
bool Retag(const std::string& path, std::string& problem, Tag&& tag) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    problem = "cannot read the written file back";
    return false;
  }
  std::string tagged;
  try {
    tagged = tag(bytes);
  } catch (const std::exception& error) {
    problem = error.what();
    return false;
  }
  if (tagged.empty() ||
      !WriteWholeFile(path, reinterpret_cast<const unsigned char*>(tagged.data()), tagged.size())) {
    problem = "cannot write the tagged file";
    return false;
  }
  return true;
}

std::string WebpTagged(const std::string& bytes, PixelMeaning meaning,
                       const pcd::Information* info, bool keepMetadata) {
  Exiv2::Blob exif;
  std::string xmp;
  // An empty image of the library's own is the holder of the tags.
  const auto holder = Exiv2::ImageFactory::create(Exiv2::ImageType::xmp);
  FillTags(*holder, info, keepMetadata);
  if (!holder->exifData().empty())
    Exiv2::ExifParser::encode(exif, Exiv2::littleEndian, holder->exifData());
  std::unique_lock packet(xmpPacketLock);
  if (!holder->xmpData().empty() && Exiv2::XmpParser::encode(xmp, holder->xmpData()) != 0)
    throw std::runtime_error("the XMP packet could not be made");
  const std::vector<std::uint8_t> profile = ProfileFor(meaning);
  const WebPData file{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
  std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxCreate(&file, 1));
  if (!mux || !SetChunk(mux.get(), "ICCP", profile.data(), profile.size()) ||
      !SetChunk(mux.get(), "EXIF", exif.data(), exif.size()) ||
      !SetChunk(mux.get(), "XMP ", xmp.data(), xmp.size()))
    throw std::runtime_error("libwebpmux could not place the chunks");
  WebPData assembled{};
  if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK)
    throw std::runtime_error("libwebpmux could not assemble the file");
  std::string out(reinterpret_cast<const char*>(assembled.bytes), assembled.size);
  WebPDataClear(&assembled);
  return out;
}

std::string Exiv2Tagged(const std::string& bytes, PixelMeaning meaning,
                        const pcd::Information* info, bool keepMetadata) {
  const auto image = Exiv2::ImageFactory::open(
      reinterpret_cast<const Exiv2::byte*>(bytes.data()), static_cast<long>(bytes.size()));
  if (!image.get()) throw std::runtime_error("the file type is not known to exiv2");
  std::unique_lock packet(xmpPacketLock);
  image->readMetadata();
  FillTags(*image, info, keepMetadata);
  const std::vector<std::uint8_t> profile = ProfileFor(meaning);
  if (!profile.empty()) {
    Exiv2::DataBuf buffer(profile.data(), static_cast<long>(profile.size()));
    image->setIccProfile(buffer, true);
  }
  image->writeMetadata();
  packet.unlock();
  Exiv2::BasicIo& io = image->io();
  io.seek(0, Exiv2::BasicIo::beg);
  const Exiv2::DataBuf tagged = io.read(static_cast<long>(io.size()));
  if (tagged.size_ <= 0) return {};
  return std::string(reinterpret_cast<const char*>(tagged.pData_),
                     static_cast<std::size_t>(tagged.size_));
}

void AddExrString(Imf::Header& header, const char* name, const std::string& value) {
  if (!value.empty()) header.insert(name, Imf::StringAttribute(value));
}

std::string ExrTagged(const std::string& bytes, const pcd::Information* info, bool keepMetadata) {
  Imf::StdISStream source;
  source.str(bytes);
  Imf::InputFile input(source);
  Imf::Header header = input.header();
  // The linear values are sRGB/Rec. 709 light with a D65 white.
  Imf::addChromaticities(header, Imf::Chromaticities(Imath::V2f(0.64f, 0.33f),
                                                     Imath::V2f(0.30f, 0.60f),
                                                     Imath::V2f(0.15f, 0.06f),
                                                     Imath::V2f(0.3127f, 0.3290f)));
  if (keepMetadata) {
    AddExrString(header, "software", TitleLine());
    if (info) {
      if (info->scanningTime) {
        Imf::addCapDate(header, ExifTime(*info->scanningTime));
        Imf::addUtcOffset(header, 0.0f);
      }
      AddExrString(header, "owner", RightsText(*info));
      AddExrString(header, "comments", ScanDescription(*info));
      AddExrString(header, "scannerMake", info->scannerVendor);
      AddExrString(header, "scannerModel", info->scannerProduct);
      AddExrString(header, "scannerSerialNumber", info->scannerSerial);
      if (info->modificationTime)
        AddExrString(header, "modificationDate", ExifTime(*info->modificationTime));
      if (info->medium) AddExrString(header, "medium", pcd::MediumName(*info->medium));
      AddExrString(header, "film", FilmText(*info));
      AddExrString(header, "photofinisher", info->photofinisher);
      if (info->sceneBalanceCommand)
        AddExrString(header, "sceneBalance", pcd::SceneBalanceName(*info->sceneBalanceCommand));
    }
  }
  Imf::StdOSStream stream;
  {
    Imf::OutputFile output(stream, header);
    output.copyPixels(input);
  }
  return stream.str();
}

}  // namespace

void InitMetadataLibrary() {
  Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
  Exiv2::XmpParser::initialize(LockXmpToolkit, &xmpToolkitLock);
  Exiv2::XmpProperties::registerNs(kNamespace, kPrefix);
}

std::vector<std::uint8_t> ProfileFor(PixelMeaning meaning) {
  const Profile profile = MakeProfile(meaning);
  if (!profile) return {};
  cmsUInt32Number size = 0;
  if (!cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0) return {};
  std::vector<std::uint8_t> bytes(size);
  if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) return {};
  // Little CMS stamps the profile with the current time; a fixed date keeps
  // the output of a picture the same in every run (the header holds no
  // checksum over it).
  constexpr std::size_t kDateOffset = 24;
  constexpr std::uint8_t kFixedDate[12] = {0x07, 0xE9, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
  if (bytes.size() >= kDateOffset + sizeof kFixedDate)
    std::copy(std::begin(kFixedDate), std::end(kFixedDate), bytes.begin() + kDateOffset);
  return bytes;
}

std::string ScanDescription(const pcd::Information& info) {
  std::string text = "Kodak Photo CD scan";
  if (info.scanningTime) text += " of " + UtcText(*info.scanningTime, "%Y-%m-%d %H:%M:%S UTC");
  auto add = [&text](const char* label, const std::string& value) {
    if (!value.empty()) text += std::string("; ") + label + ": " + value;
  };
  if (info.medium) add("medium", pcd::MediumName(*info.medium));
  add("product", info.productType);
  add("film", FilmText(info));
  add("photofinisher", info.photofinisher);
  if (info.sceneBalanceCommand) add("scene balance", pcd::SceneBalanceName(*info.sceneBalanceCommand));
  const std::string scanner = info.scannerVendor.empty() || info.scannerProduct.empty()
                                  ? info.scannerVendor + info.scannerProduct
                                  : info.scannerVendor + " " + info.scannerProduct;
  add("scanner", scanner);
  std::string rights = RightsText(info);
  if (!rights.empty()) rights[0] = static_cast<char>(rights[0] - 'A' + 'a');
  add("rights", rights);
  return text;
}

bool OutputTakesMetadata(std::string_view key) {
  return key == "jpg" || key == "tiff" || key == "png" || key == "webp" || key == "jp2" ||
         key == "psd" || key == "exr";
}

bool TagOutput(const std::string& path, std::string_view outputKey, PixelMeaning meaning,
               const pcd::Information* information, bool keepMetadata, std::string& problem) {
  if (!OutputTakesMetadata(outputKey)) return true;
  return Retag(path, problem, [&](const std::string& bytes) {
    if (outputKey == "exr") return ExrTagged(bytes, information, keepMetadata);
    if (outputKey == "webp" && !kExiv2PlacesChunks)
      return WebpTagged(bytes, meaning, information, keepMetadata);
    return Exiv2Tagged(bytes, meaning, information, keepMetadata);
  });
}

}  // namespace lumafold

// The Photo CD header reader that picks the decode index, on arbitrary
// header bytes at any file length.
//
// Input: four bytes of little-endian file length (up to 16 MB), then the
// bytes at the start of the file. The file is made that long without
// writing the rest (a sparse file), so the reader meets 16Base-sized files
// at the cost of a few kilobytes.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "photocd/photocd.h"
#include "fuzz_support.h"

using namespace lumafold;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzz::ScratchFolder() + "/image.pcd";
  std::uint32_t length = 0;
  if (size >= 4) {
    std::memcpy(&length, data, 4);
    data += 4;
    size -= 4;
  }
  length &= (16u << 20) - 1;
  fuzz::WriteWholeFile(path, data, size);
  if (length > size) FUZZ_CHECK(::truncate(path.c_str(), length) == 0);
  const std::uint64_t fileSize = std::max<std::uint64_t>(length, size);

  const PhotoCdHeaderResult result = ReadPhotoCdHeader(path);
  if (!result.ok()) {
    FUZZ_CHECK(result.status != PhotoCdHeaderStatus::Unreadable);
    return 0;
  }
  const PhotoCdHeader& header = result.header;
  FUZZ_CHECK(header.fileSize == fileSize);
  FUZZ_CHECK(fileSize >= pcd::kBaseEnd);
  FUZZ_CHECK(header.rotation >= 0 && header.rotation <= 3);
  FUZZ_CHECK(header.whole <= header.declared && header.whole >= pcd::Level::Base);
  // The level asked for lies wholly inside the file.
  if (header.whole >= pcd::Level::FourBase)
    FUZZ_CHECK(std::uint64_t{header.fourBaseStop} * pcd::kSectorSize <= fileSize);
  if (header.whole == pcd::Level::SixteenBase)
    FUZZ_CHECK(std::uint64_t{header.sixteenBaseStop} * pcd::kSectorSize <= fileSize);
  // Every string of the information is trimmed UTF-8 text.
  for (const std::string* text : {&header.information.productType, &header.information.photofinisher,
                                  &header.information.rightsFile}) {
    FUZZ_CHECK(text->empty() || (text->front() != ' ' && text->back() != ' '));
  }
  const int index = HighestIndex(header);
  FUZZ_CHECK(index >= 3 && index <= 5);
  FUZZ_CHECK(SizeOfIndex(index).has_value());
  return 0;
}

// What an output says about itself beyond its pixels: the scan's facts from
// the Image Pac's information header (EXIF, XMP and a readable description,
// or EXR header attributes) and a colour profile that says what its numbers
// mean. Written into the temporary file before it is moved into place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "photocd/photocd.h"

namespace lumafold {

// What the written pixels are, for the colour profile.
enum class PixelMeaning {
  None,         // no profile fits (CMYK inks, LogLuv, an unknown layout)
  Srgb,         // display-referred sRGB, 8 or 16 bits, palettes included
  Grey,         // grey with the sRGB tone curve
  LinearFloat,  // linear light, sRGB/Rec. 709 primaries, white 1.0
};

// ICC profiles made with Little CMS; empty for PixelMeaning::None.
std::vector<std::uint8_t> ProfileFor(PixelMeaning meaning);

// The one-line description written as ImageDescription and dc:description.
std::string ScanDescription(const pcd::Information& information);

// Whether `outputKey` is written with metadata and a profile at all.
bool OutputTakesMetadata(std::string_view outputKey);

// Tags the finished file at `path`. `information` is null when the input's
// header could not be read (then only the program and the profile are
// written); `keepMetadata` false leaves out every fact of the scan. False
// with `problem` set when the library could not write the file's tags; the
// file then stays as the writer left it.
bool TagOutput(const std::string& path, std::string_view outputKey, PixelMeaning meaning,
               const pcd::Information* information, bool keepMetadata, std::string& problem);

// Process-wide set-up of the metadata library (its XMP toolkit and the
// program's XMP namespace); called once by InitImageLibraries.
void InitMetadataLibrary();

}  // namespace lumafold

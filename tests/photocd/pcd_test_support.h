// Helpers for the built-in Photo CD decoder tests: the committed test files,
// pictures as plain RGB values (from the decoder or read back with libpng,
// so that the decoder's suite needs no image library of the engine), and the
// measures the tests compare them by.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "photocd/photocd.h"
#include "support/test_files.h"

namespace lumafold::pcd_testing {

using namespace test_files;

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A picture as RGB values on the 0..255 scale, top row first.
struct Rgb {
  int width = 0;
  int height = 0;
  std::vector<double> values;
  double at(int x, int y, int c) const {
    return values[(static_cast<std::size_t>(y) * width + x) * 3 + c];
  }
};

// A decoded value on the 0..255 scale, from whichever buffer is filled.
inline double ValueAt(const pcd::Picture& picture, int x, int y, int c) {
  const std::size_t i = (static_cast<std::size_t>(y) * picture.width + x) * 3 + c;
  return picture.rgb8.empty() ? picture.rgb16[i] * 255.0 / 65535.0 : picture.rgb8[i];
}

inline Rgb FromPicture(const pcd::Picture& picture, int left = 0, int top = 0, int width = 0,
                       int height = 0) {
  Rgb rgb{width ? width : picture.width, height ? height : picture.height, {}};
  rgb.values.reserve(static_cast<std::size_t>(rgb.width) * rgb.height * 3);
  for (int y = top; y < top + rgb.height; ++y)
    for (int x = left; x < left + rgb.width; ++x)
      for (int c = 0; c < 3; ++c) rgb.values.push_back(ValueAt(picture, x, y, c));
  return rgb;
}

// Reads an 8-bit RGB picture with libpng (an independent reader); empty
// when the file cannot be read.
inline Rgb ReadPicture(const std::string& path) {
  Rgb rgb;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return rgb;
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) {
    png_image_free(&image);
    return rgb;
  }
  rgb.width = static_cast<int>(image.width);
  rgb.height = static_cast<int>(image.height);
  rgb.values.assign(bytes.begin(), bytes.end());
  return rgb;
}

// Mean of each factor x factor block.
inline Rgb Shrink(const Rgb& rgb, int factor) {
  Rgb out{rgb.width / factor, rgb.height / factor, {}};
  out.values.assign(static_cast<std::size_t>(out.width) * out.height * 3, 0.0);
  const double weight = 1.0 / (factor * factor);
  for (int y = 0; y < out.height * factor; ++y) {
    const double* in = &rgb.values[static_cast<std::size_t>(y) * rgb.width * 3];
    double* row = &out.values[static_cast<std::size_t>(y / factor) * out.width * 3];
    for (int x = 0; x < out.width * factor; ++x)
      for (int c = 0; c < 3; ++c) row[(x / factor) * 3 + c] += in[x * 3 + c] * weight;
  }
  return out;
}

// The same straight from a decoded picture, without a full-size copy.
inline Rgb Shrink(const pcd::Picture& picture, int factor) {
  Rgb out{picture.width / factor, picture.height / factor, {}};
  out.values.assign(static_cast<std::size_t>(out.width) * out.height * 3, 0.0);
  const bool wide = picture.rgb8.empty();
  const double weight = (wide ? 255.0 / 65535.0 : 1.0) / (factor * factor);
  for (int y = 0; y < out.height * factor; ++y) {
    const std::size_t first = static_cast<std::size_t>(y) * picture.width * 3;
    double* row = &out.values[static_cast<std::size_t>(y / factor) * out.width * 3];
    for (int x = 0; x < out.width * factor; ++x)
      for (int c = 0; c < 3; ++c) {
        const std::size_t i = first + x * 3 + c;
        row[(x / factor) * 3 + c] += (wide ? picture.rgb16[i] : picture.rgb8[i]) * weight;
      }
  }
  return out;
}

inline double Mean(const Rgb& rgb) {
  double sum = 0;
  for (double v : rgb.values) sum += v;
  return rgb.values.empty() ? 0 : sum / static_cast<double>(rgb.values.size());
}

// PSNR over the pixels whose reference values are all below `below` (the
// whole picture by default); the decoder rolls highlights off near white.
inline double Psnr(const Rgb& picture, const Rgb& reference, double below = 256) {
  if (picture.width != reference.width || picture.height != reference.height) return 0;
  double sum = 0;
  std::size_t count = 0;
  for (std::size_t i = 0; i + 2 < reference.values.size(); i += 3) {
    if (std::max({reference.values[i], reference.values[i + 1], reference.values[i + 2]}) >= below)
      continue;
    for (std::size_t c = 0; c < 3; ++c) {
      const double d = picture.values[i + c] - reference.values[i + c];
      sum += d * d;
    }
    count += 3;
  }
  if (count == 0) return 0;
  const double mse = sum / static_cast<double>(count);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

inline pcd::Result Decode(const std::string& path, pcd::Level highest = pcd::Level::SixteenBase,
                          pcd::Rendering rendering = pcd::Rendering::Display8) {
  pcd::Request request;
  request.highest = highest;
  request.rendering = rendering;
  return pcd::DecodeFile(path, request);
}

}  // namespace lumafold::pcd_testing

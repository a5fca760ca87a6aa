// PhotoYCC to RGB. Stored luma = 255/1.402 * Y, chroma1 = 111.40 * (B'-Y) + 156,
// chroma2 = 135.64 * (R'-Y) + 137, with R'G'B' = 1 at the scan's reference
// white (luma about 182); luma up to 255 keeps highlights above it.
//
// R'G'B' are taken as display values as they are: the Kodak renderings of
// real scans match that (about 1.035 of their brightness) far better than a
// conversion from the CCIR 709 curve to sRGB (1.09-1.17), and synthetic files
// carry sRGB values outright. Reference white becomes display white; above
// it the values roll off smoothly into the top of the range instead of
// clipping. Kept highlights instead scale R'G'B' so that the top of the
// luma code (1.402) is the top of the range, with nothing rolled off.
// Linear light undoes the sRGB curve, extended past 1 and mirrored below 0,
// so that colours outside the sRGB gamut keep their negative channels.
//
// Chroma is brought up to luma size with the same co-sited interpolation as
// the level chain, kept at two extra bits, and all sums run in fixed point
// with 13 fractional bits; the tone curves are tables over that scale.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "photocd/internal.h"

namespace lumafold::pcd::detail {

namespace {

constexpr int kFraction = 1 << 13;         // fixed-point steps per unit of R'G'B'
constexpr int kLowest = -2 * kFraction;    // R'G'B' from -2 ...
constexpr int kSteps = 5 * kFraction;      // ... up to 3
constexpr int kChromaSteps = 4 * 255 + 1;  // chroma with two extra bits
// Where the highlight roll-off starts; reference white comes out at 0.985.
constexpr double kKnee = 0.96;

double RollOff(double v) {
  if (v <= kKnee) return std::max(v, 0.0);
  return kKnee + (1.0 - kKnee) * (1.0 - std::exp(-(v - kKnee) / (1.0 - kKnee)));
}

double Kept(double v) { return std::clamp(v / kKeptHighlightsTop, 0.0, 1.0); }

double SrgbToLinear(double v) {
  if (v < 0.0) return -SrgbToLinear(-v);
  if (v <= 0.04045) return v / 12.92;
  return std::pow((v + 0.055) / 1.055, 2.4);
}

struct Tables {
  int luma[256];
  int red[kChromaSteps];  // from chroma2
  int greenC1[kChromaSteps];
  int greenC2[kChromaSteps];
  int blue[kChromaSteps];  // from chroma1
  std::vector<std::uint16_t> display16;
  std::vector<std::uint8_t> display8;
  std::vector<std::uint16_t> kept16;
  std::vector<std::uint8_t> kept8;
  // Whether every sum the tables can give lies inside the curves, so that
  // the per-pixel clamp can go (it does for these constants: R'G'B' stay
  // within -1.5 .. 2.3).
  bool sumsInRange = false;

  Tables()
      : display16(kSteps), display8(kSteps), kept16(kSteps), kept8(kSteps) {
    for (int l = 0; l < 256; ++l)
      luma[l] = static_cast<int>(std::lround(l * 1.402 / 255.0 * kFraction));
    for (int q = 0; q < kChromaSteps; ++q) {
      const double c1 = (q / 4.0 - 156.0) / 111.40;  // B' - Y
      const double c2 = (q / 4.0 - 137.0) / 135.64;  // R' - Y
      red[q] = static_cast<int>(std::lround(c2 * kFraction));
      blue[q] = static_cast<int>(std::lround(c1 * kFraction));
      // G' from Y = 0.299 R' + 0.587 G' + 0.114 B'.
      greenC1[q] = static_cast<int>(std::lround(-0.114 / 0.587 * c1 * kFraction));
      greenC2[q] = static_cast<int>(std::lround(-0.299 / 0.587 * c2 * kFraction));
    }
    for (int i = 0; i < kSteps; ++i) {
      const double v = static_cast<double>(i + kLowest) / kFraction;
      const auto d16 = static_cast<std::uint16_t>(std::lround(RollOff(v) * 65535.0));
      display16[i] = d16;
      display8[i] = static_cast<std::uint8_t>((d16 * 255 + 32767) / 65535);
      const auto k16 = static_cast<std::uint16_t>(std::lround(Kept(v) * 65535.0));
      kept16[i] = k16;
      kept8[i] = static_cast<std::uint8_t>((k16 * 255 + 32767) / 65535);
    }
    const auto [lowRed, highRed] = std::minmax_element(red, red + kChromaSteps);
    const auto [lowBlue, highBlue] = std::minmax_element(blue, blue + kChromaSteps);
    const auto [lowG1, highG1] = std::minmax_element(greenC1, greenC1 + kChromaSteps);
    const auto [lowG2, highG2] = std::minmax_element(greenC2, greenC2 + kChromaSteps);
    const int lowChroma = std::min({*lowRed, *lowBlue, *lowG1 + *lowG2});
    const int highChroma = std::max({*highRed, *highBlue, *highG1 + *highG2});
    const auto [lowLuma, highLuma] = std::minmax_element(luma, luma + 256);
    sumsInRange = *lowLuma + lowChroma >= kLowest && *highLuma + highChroma < kLowest + kSteps;
  }
};

const Tables& ColourTables() {
  static const Tables tables;
  return tables;
}

// Made only for linear-light output: its powers took a millisecond of every
// decode.
const std::vector<float>& LinearCurve() {
  static const std::vector<float> curve = [] {
    std::vector<float> values(kSteps);
    for (int i = 0; i < kSteps; ++i)
      values[i] = static_cast<float>(SrgbToLinear(static_cast<double>(i + kLowest) / kFraction));
    return values;
  }();
  return curve;
}

inline int Index(int value) { return std::clamp(value - kLowest, 0, kSteps - 1); }

// The channel offsets are template arguments for the two layouts that occur
// (R, G, B and FreeImage's B, G, R), so the inner loop stores at constant
// offsets; any other layout takes the general path.
template <typename T, bool kClamp, int kRed = -1, int kGreen = -1, int kBlue = -1>
void Convert(const YccPlanes& planes, int rotation, const T* curve, const Destination& to,
             int first, int last) {
  const int red = kRed >= 0 ? kRed : to.red;
  const int green = kGreen >= 0 ? kGreen : to.green;
  const int blue = kBlue >= 0 ? kBlue : to.blue;
  T* out = static_cast<T*>(to.origin);
  const std::ptrdiff_t row = to.rowStride;
  const Tables& t = ColourTables();
  const int width = planes.width;
  const int height = planes.height;
  const int chromaWidth = width / 2;
  const int chromaHeight = height / 2;
  std::vector<std::uint16_t> row1(static_cast<std::size_t>(chromaWidth) + 1);
  std::vector<std::uint16_t> row2(static_cast<std::size_t>(chromaWidth) + 1);
  const std::ptrdiff_t w = width;
  const std::ptrdiff_t h = height;
  for (int y = first; y < last; ++y) {
    // Chroma rows brought to this luma row, times two.
    const int cy = y / 2;
    const int cyBelow = (y % 2 == 1) ? std::min(cy + 1, chromaHeight - 1) : cy;
    const std::uint8_t* a1 = &planes.chroma1[static_cast<std::size_t>(cy) * chromaWidth];
    const std::uint8_t* b1 = &planes.chroma1[static_cast<std::size_t>(cyBelow) * chromaWidth];
    const std::uint8_t* a2 = &planes.chroma2[static_cast<std::size_t>(cy) * chromaWidth];
    const std::uint8_t* b2 = &planes.chroma2[static_cast<std::size_t>(cyBelow) * chromaWidth];
    for (int x = 0; x < chromaWidth; ++x) {
      row1[x] = static_cast<std::uint16_t>(a1[x] + b1[x]);
      row2[x] = static_cast<std::uint16_t>(a2[x] + b2[x]);
    }
    row1[chromaWidth] = row1[chromaWidth - 1];
    row2[chromaWidth] = row2[chromaWidth - 1];

    // Where pixel (0, y) goes and how far one step in x moves, upright, in
    // values from the top-left pixel.
    std::ptrdiff_t target = 0;
    std::ptrdiff_t step = 3;
    switch (rotation) {
      case 1:  // stored turned 90 clockwise: turn back counter-clockwise
        target = (w - 1) * row + y * 3;
        step = -row;
        break;
      case 2:
        target = (h - 1 - y) * row + (w - 1) * 3;
        step = -3;
        break;
      case 3:
        target = (h - 1 - y) * 3;
        step = row;
        break;
      default:
        target = y * row;
        break;
    }
    const std::uint8_t* luma = &planes.luma[static_cast<std::size_t>(y) * width];
    // Unclamped, the curve is indexed from its R'G'B' origin.
    const T* const origin = curve - kLowest;
    auto pixel = [&](int l, int q1, int q2) {
      if constexpr (kClamp) {
        out[target + red] = curve[Index(l + t.red[q2])];
        out[target + green] = curve[Index(l + t.greenC1[q1] + t.greenC2[q2])];
        out[target + blue] = curve[Index(l + t.blue[q1])];
      } else {
        out[target + red] = origin[l + t.red[q2]];
        out[target + green] = origin[l + t.greenC1[q1] + t.greenC2[q2]];
        out[target + blue] = origin[l + t.blue[q1]];
      }
      target += step;
    };
    // Even pixels sit on a chroma sample, odd ones between two.
    for (int cx = 0; cx < chromaWidth; ++cx) {
      pixel(t.luma[luma[2 * cx]], 2 * row1[cx], 2 * row2[cx]);
      pixel(t.luma[luma[2 * cx + 1]], row1[cx] + row1[cx + 1], row2[cx] + row2[cx + 1]);
    }
  }
}

template <typename T>
void ConvertInto(const YccPlanes& planes, int rotation, const T* curve, const Destination& to,
                 bool spareCore) {
  const bool clamp = !ColourTables().sumsInRange;
  SplitRows(planes.height, spareCore, [&](int first, int last) {
    if (clamp)
      Convert<T, true>(planes, rotation, curve, to, first, last);
    else if (to.red == 0 && to.green == 1 && to.blue == 2)
      Convert<T, false, 0, 1, 2>(planes, rotation, curve, to, first, last);
    else if (to.red == 2 && to.green == 1 && to.blue == 0)
      Convert<T, false, 2, 1, 0>(planes, rotation, curve, to, first, last);
    else
      Convert<T, false>(planes, rotation, curve, to, first, last);
  });
}

}  // namespace

LevelSize UprightSize(LevelSize stored, int rotation) {
  const bool turned = rotation == 1 || rotation == 3;
  return turned ? LevelSize{stored.height, stored.width} : stored;
}

void ConvertToRgb(const YccPlanes& planes, int rotation, Rendering rendering,
                  Highlights highlights, const Destination& destination, bool spareCore) {
  const Tables& t = ColourTables();
  const bool keep = highlights == Highlights::Keep;
  switch (rendering) {
    case Rendering::Display8:
      ConvertInto(planes, rotation, keep ? t.kept8.data() : t.display8.data(), destination,
                  spareCore);
      break;
    case Rendering::Display16:
      ConvertInto(planes, rotation, keep ? t.kept16.data() : t.display16.data(), destination,
                  spareCore);
      break;
    case Rendering::LinearFloat:
      ConvertInto(planes, rotation, LinearCurve().data(), destination, spareCore);
      break;
  }
}

void ConvertToRgb(const YccPlanes& planes, int rotation, Rendering rendering,
                  Highlights highlights, Picture& picture, bool spareCore) {
  const LevelSize upright = UprightSize({planes.width, planes.height}, rotation);
  picture.width = upright.width;
  picture.height = upright.height;
  picture.rendering = rendering;
  const std::size_t values = static_cast<std::size_t>(planes.width) * planes.height * 3;
  Destination destination;
  destination.rowStride = static_cast<std::ptrdiff_t>(upright.width) * 3;
  switch (rendering) {
    case Rendering::Display8:
      SizeBuffer(picture.rgb8, values);
      destination.origin = picture.rgb8.data();
      break;
    case Rendering::Display16:
      SizeBuffer(picture.rgb16, values);
      destination.origin = picture.rgb16.data();
      break;
    case Rendering::LinearFloat:
      SizeBuffer(picture.rgbFloat, values);
      destination.origin = picture.rgbFloat.data();
      break;
  }
  ConvertToRgb(planes, rotation, rendering, highlights, destination, spareCore);
}

}  // namespace lumafold::pcd::detail

#include "engine/run/contact_sheet.h"

#include <pango/pangocairo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "engine/image.h"
#include "engine/steps/drawing_layer.h"
#include "engine/steps/drawing_libraries.h"
#include "photocd/disc/disc_image.h"
#include "photocd/photocd.h"

namespace lumafold {

namespace {

constexpr int kColumns = 6;
constexpr int kThumbBox = 192;  // a Base/16 thumbnail's long side
constexpr int kGap = 16;
constexpr int kLabel = 36;
// Base/16 with its header ends with sector 21 of an Image Pac.
constexpr std::uint32_t kThumbnailBytes = 22 * 2048;

struct Group {
  std::string name;      // the disc's or the folder's name
  std::string subfolder; // below the output folder, ends with "/" or empty
  std::vector<InputEntry> entries;
};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

// The disc's own output folder holds its sheet, above PHOTO_CD/IMAGES/.
std::string GroupSubfolder(const InputEntry& entry) {
  std::string folder = entry.relativeSubfolder;
  const std::string suffix = "PHOTO_CD/IMAGES/";
  if (!entry.discName.empty() && Upper(folder).ends_with(suffix))
    folder.erase(folder.size() - suffix.size());
  return folder;
}

pcd::Result Thumbnail(const InputEntry& entry) {
  if (!entry.disc) return pcd::DecodeThumbnail(entry.path);
  pcd::Result result;
  if (!entry.disc->problem.empty()) {
    result.error = entry.disc->problem;
    return result;
  }
  const disc::DiscFile file{entry.disc->entryPath, entry.disc->firstSector,
                            std::min(entry.disc->size, kThumbnailBytes)};
  std::vector<std::uint8_t> bytes;
  if (!disc::ReadDiscFile(entry.disc->imagePath, file, bytes, result.error)) return result;
  pcd::Request request;
  request.highest = pcd::Level::Base16;
  return pcd::DecodeBytes(bytes, request);
}

void DrawLabel(cairo_t* cairo, const std::string& text, double x, double y, double width) {
  PangoLayout* layout = pango_cairo_create_layout(cairo);
  PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans 9");
  pango_layout_set_font_description(layout, font);
  pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
  pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_MIDDLE);
  pango_layout_set_text(layout, text.c_str(), -1);
  cairo_move_to(cairo, x, y);
  pango_cairo_show_layout(cairo, layout);
  pango_font_description_free(font);
  g_object_unref(layout);
}

bool WriteSheet(const Group& group, const std::string& path, std::string& problem) {
  const int count = static_cast<int>(group.entries.size());
  const int columns = std::min(kColumns, count);
  const int rows = (count + columns - 1) / columns;
  const int cellWidth = kThumbBox + kGap;
  const int cellHeight = kThumbBox + kLabel + kGap;
  const int width = columns * cellWidth + kGap;
  const int height = rows * cellHeight + kGap + 28;
  if (!DrawingLibrariesLoaded(&problem)) return false;
  SurfaceHandle surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
  DrawingContext cairo = DrawOn(surface.get());
  if (!cairo || cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    problem = "no memory for the sheet";
    return false;
  }
  cairo_set_source_rgb(cairo.get(), 1, 1, 1);
  cairo_paint(cairo.get());
  cairo_set_source_rgb(cairo.get(), 0, 0, 0);
  DrawLabel(cairo.get(), group.name, 0, 6, width);

  for (int i = 0; i < count; ++i) {
    const InputEntry& entry = group.entries[static_cast<std::size_t>(i)];
    const double left = kGap + (i % columns) * cellWidth;
    const double top = 28 + kGap + (i / columns) * cellHeight;
    const pcd::Result thumb = Thumbnail(entry);
    if (thumb.ok) {
      const pcd::Picture& picture = thumb.picture;
      SurfaceHandle image(
          cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture.width, picture.height));
      cairo_surface_flush(image.get());
      unsigned char* data = cairo_image_surface_get_data(image.get());
      const int stride = cairo_image_surface_get_stride(image.get());
      for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
          const std::uint8_t* rgb =
              &picture.rgb8[(static_cast<std::size_t>(y) * picture.width + x) * 3];
          auto* pixel = reinterpret_cast<std::uint32_t*>(data + y * stride) + x;
          *pixel = (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
        }
      cairo_surface_mark_dirty(image.get());
      cairo_set_source_surface(cairo.get(), image.get(), left + (kThumbBox - picture.width) / 2.0,
                               top + (kThumbBox - picture.height) / 2.0);
      cairo_paint(cairo.get());
    } else {
      // A picture that cannot be read keeps its place, so the numbers stay those of the disc.
      cairo_set_source_rgb(cairo.get(), 0.85, 0.85, 0.85);
      cairo_rectangle(cairo.get(), left, top + 32, kThumbBox, kThumbBox - 64);
      cairo_fill(cairo.get());
    }
    cairo_set_source_rgb(cairo.get(), 0, 0, 0);
    const std::string name = entry.disc ? FileName(entry.disc->entryPath) : FileName(entry.path);
    DrawLabel(cairo.get(), std::to_string(i + 1) + "  " + name, left, top + kThumbBox + 4,
              kThumbBox);
  }
  cairo_surface_flush(surface.get());

  ImageHandle bitmap(FreeImage_ConvertFromRawBits(
      cairo_image_surface_get_data(surface.get()), width, height,
      cairo_image_surface_get_stride(surface.get()), 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
      FI_RGBA_BLUE_MASK, TRUE));
  ImageHandle rgb(bitmap ? FreeImage_ConvertTo24Bits(bitmap.get()) : nullptr);
  if (!rgb) {
    problem = "no memory for the sheet";
    return false;
  }
  // Written whole under another name first, so an older sheet is never half replaced.
  const std::string temporary = path + ".part";
  if (!FreeImage_Save(FIF_JPEG, rgb.get(), temporary.c_str(), 90)) {
    ::unlink(temporary.c_str());
    problem = "cannot be written";
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    problem = "cannot be moved into place";
    return false;
  }
  return true;
}

// The sheet of a group whose pictures all failed, or of a list not yet
// converted, still has a folder to go to.
void CreateFolders(const std::string& outputFolder, const std::string& subfolder) {
  std::string folder = outputFolder;
  for (std::size_t start = 0, slash; (slash = subfolder.find('/', start)) != std::string::npos;
       start = slash + 1) {
    folder += subfolder.substr(start, slash - start + 1);
    ::mkdir(folder.c_str(), 0777);
  }
}

}  // namespace

ContactSheetResult WriteContactSheets(const AppContext& context) {
  return WriteContactSheets(context.inputs.ordered(), context.job.outputFolder,
                            context.settings.advanced.keepSubfolders == 1);
}

ContactSheetResult WriteContactSheets(const std::vector<InputEntry>& entries,
                                      const std::string& outputFolder, bool keepSubfolders) {
  std::map<std::string, Group> groups;  // by disc image, disc folder or input folder
  for (const InputEntry& entry : entries) {
    std::string key = entry.disc ? entry.disc->imagePath : FolderOf(entry.path);
    Group& group = groups[key];
    if (group.entries.empty()) {
      group.subfolder = keepSubfolders ? GroupSubfolder(entry) : std::string();
      std::string name = entry.discName;
      if (name.empty()) {
        std::string folder = FolderOf(entry.path);
        if (folder.size() > 1) folder.pop_back();
        name = FileName(folder);
      }
      group.name = name;
    }
    group.entries.push_back(entry);
  }
  std::map<std::string, int> perFolder;
  for (const auto& [key, group] : groups) ++perFolder[group.subfolder];

  ContactSheetResult result;
  for (auto& [key, group] : groups) {
    // Disc order is the order of the names: IMG0001, IMG0002, ...
    std::sort(group.entries.begin(), group.entries.end(),
              [](const InputEntry& a, const InputEntry& b) { return Upper(a.path) < Upper(b.path); });
    const std::string name = perFolder[group.subfolder] > 1
                                 ? "contact-sheet-" + group.name + ".jpg"
                                 : std::string("contact-sheet.jpg");
    const std::string path = outputFolder + group.subfolder + name;
    CreateFolders(outputFolder, group.subfolder);
    std::string problem;
    if (WriteSheet(group, path, problem))
      result.written.push_back(path);
    else
      result.problems.push_back(path + ": " + problem);
  }
  return result;
}

}  // namespace lumafold

// Builds the default theme archive from the built-in SVG pictures: every
// icon at each tool-bar size (name_SIZE.png, so one theme.cfg value serves
// all sizes), the three large buttons at their own sizes, and theme.cfg.
// Entry times are fixed so the archive is the same on every run.
//
//   make_theme_archive OUTPUT.zip
#include <archive.h>
#include <archive_entry.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "ui/builtin_images.h"
#include "ui/commands.h"

namespace {

constexpr int kToolBarSizes[] = {16, 24, 32, 48, 64};
constexpr const char* kThemeName = "Hand Drawn";

std::string Png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

std::string Lower(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool WriteArchive(const char* path,
                  const std::vector<std::pair<std::string, std::string>>& entries) {
  archive* zip = archive_write_new();
  archive_write_set_format_zip(zip);
  bool ok = archive_write_open_filename(zip, path) == ARCHIVE_OK;
  for (const auto& [name, data] : entries) {
    if (!ok) break;
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_mtime(entry, 1577836800, 0);  // 2020-01-01
    ok = archive_write_header(zip, entry) == ARCHIVE_OK &&
         archive_write_data(zip, data.data(), data.size()) == static_cast<la_ssize_t>(data.size());
    archive_entry_free(entry);
  }
  ok = archive_write_close(zip) == ARCHIVE_OK && ok;
  archive_write_free(zip);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.zip\n", argv[0]);
    return 2;
  }
  // Text in the pictures needs the font database, so a GUI application;
  // no display is needed.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  using namespace lumafold::ui;

  std::vector<std::pair<std::string, std::string>> entries;
  std::string cfg = "[Theme]\r\nName=" + std::string(kThemeName) + "\r\n[Buttons]\r\n";
  for (std::string_view name : ButtonNames()) {
    const std::string file = "button_" + Lower(name) + ".png";
    cfg += std::string(name) + "=" + file + "\r\n";
    entries.emplace_back(file, Png(BuiltInImage(name, ButtonSize(name))));
  }
  cfg += "[Icons]\r\n";
  for (std::string_view name : IconNames()) {
    cfg += std::string(name) + "=" + Lower(name) + "\r\n";
    for (int size : kToolBarSizes)
      entries.emplace_back(Lower(name) + "_" + std::to_string(size) + ".png",
                           Png(BuiltInImage(name, size)));
  }
  entries.insert(entries.begin(), {"theme.cfg", cfg});
  if (!WriteArchive(argv[1], entries)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

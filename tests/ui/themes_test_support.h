// Builds theme archives for the tests with libarchive's ZIP writer, and
// tiny PNG images whose colour says which entry they came from.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace lumafold::test {

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

inline bool WriteZip(const std::string& path, const ZipEntries& entries) {
  archive* a = archive_write_new();
  archive_write_set_format_zip(a);
  bool ok = archive_write_open_filename(a, path.c_str()) == ARCHIVE_OK;
  for (const auto& [name, data] : entries) {
    if (!ok) break;
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, name.c_str());
    archive_entry_set_size(e, static_cast<la_int64_t>(data.size()));
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    ok = archive_write_header(a, e) == ARCHIVE_OK &&
         archive_write_data(a, data.data(), data.size()) == static_cast<la_ssize_t>(data.size());
    archive_entry_free(e);
  }
  ok = archive_write_close(a) == ARCHIVE_OK && ok;
  archive_write_free(a);
  return ok;
}

// A square PNG of one colour.
inline std::string Png(int size, QColor colour) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

// A fresh folder under the build tree, removed with the object.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    path_ = std::filesystem::temp_directory_path() /
            ("lumafold-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  // With a trailing "/".
  std::string path() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

}  // namespace lumafold::test

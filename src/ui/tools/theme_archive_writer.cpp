#include "ui/tools/theme_archive_writer.h"

#include <archive.h>
#include <archive_entry.h>

#include <QBuffer>

namespace lumafold::tools {

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

bool WriteArchive(const char* path, const ThemeEntries& entries) {
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
    archive_entry_set_mtime(entry, 1577836800, 0);  // 2020-01-01, for a repeatable archive
    ok = archive_write_header(zip, entry) == ARCHIVE_OK &&
         archive_write_data(zip, data.data(), data.size()) == static_cast<la_ssize_t>(data.size());
    archive_entry_free(entry);
  }
  ok = archive_write_close(zip) == ARCHIVE_OK && ok;
  archive_write_free(zip);
  return ok;
}

}  // namespace lumafold::tools

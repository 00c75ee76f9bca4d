#include "platform/settings.h"

#include <cerrno>
#include <vector>

#include "platform/shared.h"
#include "platform/staged.h"

namespace quarnet::os {
namespace {

// Makes the absolute folder `path` and the folders above it that are missing.
Error MakeFolders(const std::string& path) {
  const Error error = detail::MakeFolder(path);
  const std::string parent = FolderOf(path);
  if (error != ENOENT || parent.empty() || parent == path) return error;
  if (const Error above = MakeFolders(parent)) return above;
  return detail::MakeFolder(path);
}

}  // namespace

std::optional<std::string> ReadSettings(const std::string& name, std::size_t limit) {
  const std::string folder = SettingsFolder();
  Folder at;
  File file;
  std::uint64_t size = 0;
  if (folder.empty() || OpenFolder(Folder(), folder, at) != 0 || OpenForReading(at, name, file) != 0 ||
      file.Size(size) != 0 || size > limit)
    return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::size_t got = 0;
  if (file.ReadAt(0, bytes, got) != 0 || got != bytes.size()) return std::nullopt;
  return std::string(bytes.begin(), bytes.end());
}

Error WriteSettings(const std::string& name, std::string_view content) {
  const std::string folder = SettingsFolder();
  if (folder.empty()) return ENOENT;
  Folder at;
  StagedFile staged;
  Error error = MakeFolders(folder);
  if (error == 0) error = OpenFolder(Folder(), folder, at);
  if (error == 0) error = staged.Create(at, name);
  if (error == 0)
    error = staged.file().Write(std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
  return error != 0 ? error : staged.Commit().error;
}

}  // namespace quarnet::os

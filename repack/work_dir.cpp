#include "repack/work_dir.h"

#include <stdlib.h>

#include <string>
#include <system_error>

namespace quarnet {

PrivateWorkDir::PrivateWorkDir() {
  std::error_code ec;
  previous_ = std::filesystem::current_path(ec);
  if (ec) return;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) return;
  std::string pattern = (base / "quarnet-job-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return;
  std::filesystem::current_path(pattern, ec);
  if (ec) {
    std::filesystem::remove(pattern, ec);
    return;
  }
  path_ = pattern;
}

PrivateWorkDir::~PrivateWorkDir() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
  std::filesystem::remove_all(path_, ec);
}

}  // namespace quarnet

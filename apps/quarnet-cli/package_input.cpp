#include "apps/quarnet-cli/package_input.h"

#include <cstdio>

#include "package/display_text.h"

namespace quarnet::cli {

std::optional<PackageFacts> ReadPackageArgument(const char* command, const char* path) {
  PackageFacts facts = ReadPackageFacts(path);
  if (!facts.readable) {
    std::fprintf(stderr, "quarnet-cli %s: cannot read %s\n", command, DisplayText(path).c_str());
    return std::nullopt;
  }
  if (facts.kind == PackageKind::kNotPackage) {
    std::fprintf(stderr, "quarnet-cli %s: %s is not a package (its mark is neither QZNP nor QZTP)\n", command,
                 DisplayText(path).c_str());
    return std::nullopt;
  }
  return facts;
}

}  // namespace quarnet::cli

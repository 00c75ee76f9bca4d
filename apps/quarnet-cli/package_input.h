#pragma once
// The package a command of quarnet-cli reads, with the reason on standard
// error when it cannot.
#include <optional>

#include "package/package_facts.h"

namespace quarnet::cli {

// The facts of the package at `path`; nothing, after "quarnet-cli
// COMMAND: ..." on standard error, when the file cannot be read or is not
// a package.
std::optional<PackageFacts> ReadPackageArgument(const char* command, const char* path);

}  // namespace quarnet::cli

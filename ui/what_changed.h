#pragma once
// What a new package holds against its original, as the outcome of a repack
// says it after what was verified, in the window and on the command line.
#include <string>
#include <vector>

#include "package/package_diff.h"
#include "ui/strings.h"

namespace quarnet {

// Lines in `language`: the items kept byte for byte, the files added, the
// items replaced and the original's items left out, each list under its
// heading, one item a line (name, place on the device, size); an empty
// list says nothing. `diff` holds the original as A and the new package
// as B.
std::vector<std::string> WhatChangedLines(const PackageDiff& diff, Language language);

}  // namespace quarnet

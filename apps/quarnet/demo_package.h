#pragma once
// The package that the pictures of the package view show: an original of a
// fictional site, as its facts.
#include <vector>

#include "package/package_diff.h"
#include "package/package_facts.h"
#include "repack/input_check.h"

namespace quarnet {

PackageFacts DemoFacts();
// The same package repacked with the site's configuration file, against
// the original.
PackageDiff DemoRepackDiff();
// A configuration file with a mistake and a pack with a member that climbs
// out of its folder, as their checks find them.
std::vector<FileCheck> DemoFindings();

}  // namespace quarnet

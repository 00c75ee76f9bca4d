#pragma once
// The package that the pictures of the package view show: an original of a
// fictional site, as its facts.
#include "package/package_facts.h"

namespace quarnet {

PackageFacts DemoFacts();

}  // namespace quarnet

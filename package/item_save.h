#pragma once
// One item of a package saved to a file of the person's choice, e.g. the
// configuration a package already holds: its bytes as the package stores
// them, made durable under the chosen name.
#include <string>

#include "package/package_facts.h"

namespace quarnet {

enum class ItemSaved {
  kAgrees,          // saved; the bytes agree with the record's CRC
  kCrcDiffers,      // saved; the bytes do not agree with the record's CRC
  kPackageChanged,  // nothing written: the package no longer holds that record
  kFailed,          // nothing written; the reason is in the job's report
};

// Writes the bytes of `item`, as an earlier read of the package at
// `packagePath` found its record, to `target`, with the progress and the
// stop of the current job. The record is read again first, so that the bytes
// are never those of a package replaced since.
ItemSaved SaveItem(const std::string& packagePath, const ItemFacts& item, const std::string& target);

}  // namespace quarnet

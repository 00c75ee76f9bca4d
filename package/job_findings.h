#pragma once
// Failures a job finds itself rather than a system call, for a front end
// that says them in its own language. Each has one English sentence with
// placeholders %1, %2, ... for the names and figures it concerns; the job
// records that sentence, filled in, as its reason.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarnet {

enum class Finding {
  kNone,
  kNoPackageMark,        // %1 the package file
  kEndsInsideHeader,     // %1 the package file
  kTooManyItems,         // %1 the package file
  kEndsInsideItemTable,  // %1 the package file
  kEndsInsideItem,       // %1 the package file, %2 the item
  kNotPlainName,         // %1 the item
  kNameNotHere,          // %1 the item, %2 why the system cannot hold it
  kItemIsThePackage,     // %1 the item, %2 the package file
  kVersionsDiffer,       // %1 the kernel's version, %2 the root file system's
  kItemCrcDiffers,       // %1 index, %2 item, %3 the record's CRC, %4 the bytes' CRC
  kItemShrank,           // %1 the item's file
  kEmptyItem,            // %1 the item's file
  kPackageTooLarge,      // %1 the new package
  kCheckFailed,          // %1 the first difference the check found
};

inline constexpr Finding kEveryFinding[] = {
    Finding::kNoPackageMark,   Finding::kEndsInsideHeader, Finding::kTooManyItems,    Finding::kEndsInsideItemTable,
    Finding::kEndsInsideItem,  Finding::kNotPlainName,     Finding::kNameNotHere,     Finding::kItemIsThePackage,
    Finding::kVersionsDiffer,  Finding::kItemCrcDiffers,   Finding::kItemShrank,      Finding::kEmptyItem,
    Finding::kPackageTooLarge, Finding::kCheckFailed,
};

// The English sentence of `finding`, with its placeholders.
std::string_view FindingSentence(Finding finding);

// `sentence` with each %N replaced by args[N-1]; a placeholder without an
// argument stays as it is.
std::string FillPlaceholders(std::string_view sentence, std::span<const std::string> args);

}  // namespace quarnet

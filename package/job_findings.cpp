#include "package/job_findings.h"

namespace quarnet {

std::string_view FindingSentence(Finding finding) {
  switch (finding) {
    case Finding::kNone: break;
    case Finding::kNoPackageMark: return "%1 is not a firmware package: it does not begin with a package mark";
    case Finding::kEndsInsideHeader: return "%1 ends inside its header";
    case Finding::kTooManyItems: return "%1 holds more than 16 items";
    case Finding::kEndsInsideItemTable: return "%1 ends inside its item table";
    case Finding::kEndsInsideItem: return "read %1: the package ends inside item %2";
    case Finding::kNotPlainName: return "Item Name %1 is not a plain file name";
    case Finding::kNameNotHere: return "Item Name %1 cannot be a file name on this system: %2";
    case Finding::kItemIsThePackage: return "%1.bin is the package %2 itself";
    case Finding::kVersionsDiffer:
      return "the kernel's item head says version \"%1\", the root file system's \"%2\"";
    case Finding::kItemCrcDiffers:
      return "the original package is damaged: item %1 (%2): its record says CRC %3, its bytes have CRC %4";
    case Finding::kItemShrank: return "read %1: shorter than when the build began";
    case Finding::kEmptyItem: return "%1: empty item file";
    case Finding::kPackageTooLarge: return "%1: the package would pass 4 GiB";
    case Finding::kCheckFailed: return "the new package failed its check: %1";
  }
  return {};
}

std::string FillPlaceholders(std::string_view sentence, std::span<const std::string> args) {
  std::string out;
  for (std::size_t i = 0; i < sentence.size(); ++i) {
    const bool placeholder = sentence[i] == '%' && i + 1 < sentence.size() && sentence[i + 1] >= '1' &&
                             sentence[i + 1] <= '9';
    const std::size_t n = placeholder ? static_cast<std::size_t>(sentence[i + 1] - '1') : 0;
    if (placeholder && n < args.size()) {
      out += args[n];
      ++i;
    } else {
      out += sentence[i];
    }
  }
  return out;
}

}  // namespace quarnet

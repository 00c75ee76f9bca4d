// quarnet-cli info: shows a package and verifies what the reader takes on
// trust, so that a technician can see a damaged file before flashing it.
#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "apps/quarnet-cli/commands.h"
#include "package/inspect.h"

namespace quarnet::cli {
namespace {

constexpr int kExitInconsistent = 1;

constexpr char kUsage[] =
    "Usage: quarnet-cli info PKG [--json]\n"
    "\n"
    "Shows the file header, the product list and the item records of the\n"
    "package PKG and verifies File Len, Header Len, File CRC, Header CRC, every\n"
    "Item CRC, every item's offset and length against the file size, and the\n"
    "item heads of KERNEL, ROOTFS, SYSTEM and MINISYS images.\n"
    "\n"
    "  --json   print one JSON object instead of text\n"
    "\n"
    "Exit status: 0 when everything is consistent, 1 when anything does not\n"
    "match, 2 when the file is not a package or cannot be read, or on a usage\n"
    "error.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "quarnet-cli info: %s\n\n%s", DisplayText(message).c_str(), kUsage);
  return kExitUsage;
}

const char* KindName(PackageKind kind) { return kind == PackageKind::kCompact ? "compact" : "full"; }

std::string MarkString(std::uint32_t mark) {
  const auto text = MarkText(mark);
  return std::string(GetText(text));
}

// Text output. Labels are those of the job log; every field that comes from
// the file is shown escaped.
void Line(const char* label, const std::string& value) {
  std::printf("%-13s: %s\n", label, value.c_str());
}

void Value(const char* label, std::uint32_t value) {
  Line(label, std::to_string(value));
}

void HexValue(const char* label, std::uint32_t value) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "0x%08x (%u)", value, value);
  Line(label, text.data());
}

void PrintHeader(const PackageFileHeader& h, const ExternFileHeader& ext) {
  std::printf("File Header  :\n");
  Line("Mark", DisplayText(MarkString(h.mark)));
  HexValue("File Len", h.fileLen);
  HexValue("File CRC", h.fileCrc);
  HexValue("Header Len", h.headerLen);
  HexValue("Header CRC", h.headerCrc);
  Value("Item Num", h.itemNum);
  Value("Pack Total", h.packTotal);
  Value("Pack Num", h.packNum);
  HexValue("Extern Len", h.externLen);
  HexValue("Item Info Len", h.itemInfoLen);
  HexValue("Reserved", h.reserved);
  std::printf("Extern File Header:\n");
  Line("Product List", DisplayText(GetText(ext.productList)));
}

void PrintRecord(std::size_t i, const ItemRecord& r) {
  std::printf("Item %zu:\n", i);
  Value("Index", r.index);
  HexValue("Item CRC", r.itemCrc);
  HexValue("Item Offset", r.itemOffset);
  HexValue("Item Len", r.itemLen);
  Line("Destination", DisplayText(GetText(r.destination)));
  Line("Item Name", DisplayText(GetText(r.itemName)));
  Line("Item Version", DisplayText(GetText(r.itemVersion)));
  Value("Item Policy", r.itemPolicy);
  HexValue("Reserved", r.reserved);
}

void PrintText(const std::string& path, const Inspection& in) {
  Line("Package", DisplayText(path));
  Line("Size", std::to_string(in.size) + " bytes");
  Line("Kind", KindName(in.kind));
  if (in.kind == PackageKind::kFull) {
    PrintHeader(in.header, in.externHeader);
  } else {
    std::printf("Compact Header:\n");
    Line("Mark", DisplayText(MarkString(in.compactHeader.mark)));
    Value("Item Num", in.compactHeader.itemNum);
  }
  for (std::size_t i = 0; i < in.records.size(); ++i) PrintRecord(i, in.records[i]);

  std::printf("Checks:\n");
  std::size_t failed = 0;
  for (const Check& c : in.checks) {
    if (c.ok) {
      std::printf("  ok        %-24s %s\n", c.name.c_str(), c.found.c_str());
    } else {
      ++failed;
      std::printf("  MISMATCH  %-24s expected %s, found %s\n", c.name.c_str(), c.expected.c_str(), c.found.c_str());
    }
  }
  for (const std::string& note : in.notes) std::printf("Note: %s\n", note.c_str());
  if (failed == 0) {
    std::printf("Result: consistent (%zu checks passed)\n", in.checks.size());
  } else {
    std::printf("Result: INCONSISTENT (%zu of %zu checks failed)\n", failed, in.checks.size());
  }
}

// JSON output. Texts from the file are passed as they are; bytes that are
// not valid UTF-8 become U+FFFD when the object is written.
nlohmann::json HeaderJson(const PackageFileHeader& h, const ExternFileHeader& ext) {
  return {{"mark", MarkString(h.mark)},
          {"fileLen", h.fileLen},
          {"fileCrc", h.fileCrc},
          {"headerLen", h.headerLen},
          {"headerCrc", h.headerCrc},
          {"itemNum", h.itemNum},
          {"packTotal", h.packTotal},
          {"packNum", h.packNum},
          {"externLen", h.externLen},
          {"itemInfoLen", h.itemInfoLen},
          {"spare", h.spare},
          {"reserved", h.reserved},
          {"productList", std::string(GetText(ext.productList))}};
}

nlohmann::json RecordJson(const ItemRecord& r) {
  return {{"index", r.index},
          {"itemCrc", r.itemCrc},
          {"itemOffset", r.itemOffset},
          {"itemLen", r.itemLen},
          {"destination", std::string(GetText(r.destination))},
          {"itemName", std::string(GetText(r.itemName))},
          {"itemVersion", std::string(GetText(r.itemVersion))},
          {"itemPolicy", r.itemPolicy},
          {"reserved", r.reserved}};
}

void PrintJson(const std::string& path, const Inspection& in) {
  nlohmann::json out = {{"file", path}, {"size", in.size}, {"kind", KindName(in.kind)},
                        {"consistent", in.Consistent()}};
  if (in.kind == PackageKind::kFull) {
    out["header"] = HeaderJson(in.header, in.externHeader);
  } else {
    out["compactHeader"] = {{"mark", MarkString(in.compactHeader.mark)}, {"itemNum", in.compactHeader.itemNum}};
  }
  out["items"] = nlohmann::json::array();
  for (const ItemRecord& r : in.records) out["items"].push_back(RecordJson(r));
  out["checks"] = nlohmann::json::array();
  for (const Check& c : in.checks) {
    out["checks"].push_back({{"name", c.name}, {"ok", c.ok}, {"expected", c.expected}, {"found", c.found}});
  }
  out["notes"] = in.notes;
  const std::string text = out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  std::printf("%s\n", text.c_str());
}

}  // namespace

int Info(int argc, char** argv) {
  const char* package = nullptr;
  bool json = false;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--json") {
      json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + std::string(arg));
    } else if (package == nullptr) {
      package = argv[i];
    } else {
      return UsageError("only one package can be shown at a time");
    }
  }
  if (package == nullptr) return UsageError("no package given");

  const Inspection in = InspectPackageFile(package);
  if (!in.readable) {
    std::fprintf(stderr, "quarnet-cli info: cannot read %s\n", DisplayText(package).c_str());
    return kExitUsage;
  }
  if (in.kind == PackageKind::kNotPackage) {
    std::fprintf(stderr, "quarnet-cli info: %s is not a package (its mark is neither QZNP nor QZTP)\n",
                 DisplayText(package).c_str());
    return kExitUsage;
  }
  if (json) {
    PrintJson(package, in);
  } else {
    PrintText(package, in);
  }
  return in.Consistent() ? 0 : kExitInconsistent;
}

}  // namespace quarnet::cli

// quarnet-cli info: shows a package and verifies what the reader takes on
// trust, so that a technician can see a damaged file before flashing it.
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "apps/quarnet-cli/commands.h"
#include "apps/quarnet-cli/package_input.h"
#include "package/display_text.h"

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

void PrintHeader(const PackageFacts& facts) {
  const PackageFileHeader& h = facts.header;
  std::printf("File Header  :\n");
  Line("Mark", DisplayText(facts.mark));
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
  Line("Product List", DisplayText(facts.productList));
}

void PrintItem(std::size_t i, const ItemFacts& item) {
  std::printf("Item %zu:\n", i);
  Value("Index", item.index);
  HexValue("Item CRC", item.crc);
  HexValue("Item Offset", item.offset);
  HexValue("Item Len", item.size);
  Line("Destination", DisplayText(item.destination));
  Line("Item Name", DisplayText(item.name));
  Line("Item Version", DisplayText(item.version));
  Value("Item Policy", item.policy);
  HexValue("Reserved", item.reserved);
}

void PrintText(const std::string& path, const PackageFacts& facts) {
  Line("Package", DisplayText(path));
  Line("Size", std::to_string(facts.size) + " bytes");
  Line("Kind", std::string(KindName(facts.kind)));
  if (facts.kind == PackageKind::kFull) {
    PrintHeader(facts);
  } else {
    std::printf("Compact Header:\n");
    Line("Mark", DisplayText(facts.mark));
    Value("Item Num", facts.itemNum);
  }
  for (std::size_t i = 0; i < facts.items.size(); ++i) PrintItem(i, facts.items[i]);

  std::printf("Checks:\n");
  for (const Check& c : facts.checks) {
    if (c.ok) {
      std::printf("  ok        %-24s %s\n", c.name.c_str(), c.found.c_str());
    } else {
      std::printf("  MISMATCH  %-24s expected %s, found %s\n", c.name.c_str(), c.expected.c_str(), c.found.c_str());
    }
  }
  for (const std::string& note : facts.notes) std::printf("Note: %s\n", note.c_str());
  if (facts.FailedChecks() == 0) {
    std::printf("Result: consistent (%zu checks passed)\n", facts.checks.size());
  } else {
    std::printf("Result: INCONSISTENT (%zu of %zu checks failed)\n", facts.FailedChecks(), facts.checks.size());
  }
}

// JSON output. Texts from the file are passed as they are; bytes that are
// not valid UTF-8 become U+FFFD when the object is written.
nlohmann::json HeaderJson(const PackageFacts& facts) {
  const PackageFileHeader& h = facts.header;
  return {{"mark", facts.mark},
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
          {"productList", facts.productList}};
}

nlohmann::json ItemJson(const ItemFacts& item) {
  return {{"index", item.index},
          {"itemCrc", item.crc},
          {"itemOffset", item.offset},
          {"itemLen", item.size},
          {"destination", item.destination},
          {"itemName", item.name},
          {"itemVersion", item.version},
          {"itemPolicy", item.policy},
          {"reserved", item.reserved}};
}

void PrintJson(const std::string& path, const PackageFacts& facts) {
  nlohmann::json out = {{"file", path}, {"size", facts.size}, {"kind", KindName(facts.kind)},
                        {"consistent", facts.Consistent()}};
  if (facts.kind == PackageKind::kFull) {
    out["header"] = HeaderJson(facts);
  } else {
    out["compactHeader"] = {{"mark", facts.mark}, {"itemNum", facts.itemNum}};
  }
  out["items"] = nlohmann::json::array();
  for (const ItemFacts& item : facts.items) out["items"].push_back(ItemJson(item));
  out["checks"] = nlohmann::json::array();
  for (const Check& c : facts.checks) {
    out["checks"].push_back({{"name", c.name}, {"ok", c.ok}, {"expected", c.expected}, {"found", c.found}});
  }
  out["notes"] = facts.notes;
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

  const std::optional<PackageFacts> read = ReadPackageArgument("info", package);
  if (!read) return kExitUsage;
  const PackageFacts& facts = *read;
  if (json) {
    PrintJson(package, facts);
  } else {
    PrintText(package, facts);
  }
  return facts.Consistent() ? 0 : kExitInconsistent;
}

}  // namespace quarnet::cli

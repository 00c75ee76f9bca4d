// quarnet-cli diff: what two packages hold differently, for a technician who
// holds a new package against the one it came from, or two releases.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/quarnet-cli/commands.h"
#include "apps/quarnet-cli/package_input.h"
#include "package/display_text.h"
#include "package/package_diff.h"

namespace quarnet::cli {
namespace {

constexpr int kExitDifferent = 1;

constexpr char kUsage[] =
    "Usage: quarnet-cli diff A B [--json]\n"
    "\n"
    "Compares the packages A and B: their header fields, their product lists\n"
    "and their items, matched by name (items of one name by their\n"
    "destination first). An item is the same, changed (its length, CRC,\n"
    "destination, policy or version differs), only in A or only in B.\n"
    "\n"
    "  --json   print one JSON object instead of text\n"
    "\n"
    "Exit status: 0 when the packages are the same, 1 when they differ, 2 when\n"
    "either is not a package, cannot be read or is damaged (quarnet-cli info\n"
    "shows where), or on a usage error.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "quarnet-cli diff: %s\n\n%s", DisplayText(message).c_str(), kUsage);
  return kExitUsage;
}

// A package to compare: readable, of a known kind, and consistent, since
// a damaged one would show its damage as differences.
std::optional<PackageFacts> ReadSound(const char* path) {
  std::optional<PackageFacts> facts = ReadPackageArgument("diff", path);
  if (!facts || facts->Consistent()) return facts;
  for (const Check& c : facts->checks) {
    if (c.ok) continue;
    std::fprintf(stderr, "quarnet-cli diff: %s is damaged: %s: expected %s, found %s\n", DisplayText(path).c_str(),
                 c.name.c_str(), c.expected.c_str(), c.found.c_str());
    break;
  }
  return std::nullopt;
}

// Text output: one line for each header field, product and item, led by
// what it is to the comparison; every text from a file is shown escaped.
void Row(const char* status, const std::string& what) { std::printf("%-10s %s\n", status, what.c_str()); }

std::string Item(const ItemFacts& item) {
  return "item " + DisplayText(item.name) + " at " + DisplayText(item.destination) + ", " + std::to_string(item.size) +
         " bytes";
}

std::string Changes(const std::vector<FieldChange>& changes) {
  std::string text;
  for (const FieldChange& c : changes) {
    text += (text.empty() ? "" : "; ") + c.field + " " + DisplayText(c.a) + " -> " + DisplayText(c.b);
  }
  return text;
}

void PrintText(const char* a, const char* b, const PackageFacts& fa, const PackageFacts& fb, const PackageDiff& d) {
  const auto package = [](const char* path, const PackageFacts& f) {
    return DisplayText(path) + " (" + std::string(KindName(f.kind)) + ", " + std::to_string(f.size) + " bytes)";
  };
  Row("A", package(a, fa));
  Row("B", package(b, fb));
  for (const FieldChange& c : d.header) Row("changed", "header " + Changes({c}));
  for (const std::string& code : d.productsOnlyInA) Row("only in A", "product " + DisplayText(code));
  for (const std::string& code : d.productsOnlyInB) Row("only in B", "product " + DisplayText(code));
  for (const ItemPair& p : d.matched) {
    if (p.Same()) {
      Row("same", Item(p.a));
    } else {
      Row("changed", Item(p.a) + ": " + Changes(p.changes));
    }
  }
  for (const ItemFacts& item : d.onlyInA) Row("only in A", Item(item));
  for (const ItemFacts& item : d.onlyInB) Row("only in B", Item(item));
  std::printf("Result: %s\n", d.Same() ? "same" : "different");
}

// JSON output: texts from the files escaped as the text shows them, so that
// the object is valid UTF-8 whatever the packages hold.
nlohmann::json ItemJson(const ItemFacts& item) {
  return {{"index", item.index},
          {"name", DisplayText(item.name)},
          {"destination", DisplayText(item.destination)},
          {"size", item.size},
          {"crc", item.ContentCrc()},
          {"policy", item.policy},
          {"version", DisplayText(item.version)}};
}

nlohmann::json ChangesJson(const std::vector<FieldChange>& changes) {
  nlohmann::json out = nlohmann::json::array();
  for (const FieldChange& c : changes)
    out.push_back({{"field", c.field}, {"a", DisplayText(c.a)}, {"b", DisplayText(c.b)}});
  return out;
}

nlohmann::json CodesJson(const std::vector<std::string>& codes) {
  nlohmann::json out = nlohmann::json::array();
  for (const std::string& code : codes) out.push_back(DisplayText(code));
  return out;
}

void PrintJson(const char* a, const char* b, const PackageFacts& fa, const PackageFacts& fb, const PackageDiff& d) {
  const auto package = [](const char* path, const PackageFacts& f) {
    return nlohmann::json{{"file", DisplayText(path)}, {"kind", KindName(f.kind)}, {"size", f.size}};
  };
  nlohmann::json items = {{"same", nlohmann::json::array()},
                          {"changed", nlohmann::json::array()},
                          {"onlyInA", nlohmann::json::array()},
                          {"onlyInB", nlohmann::json::array()}};
  for (const ItemPair& p : d.matched) {
    if (p.Same()) {
      items["same"].push_back(ItemJson(p.a));
    } else {
      items["changed"].push_back({{"a", ItemJson(p.a)}, {"b", ItemJson(p.b)}, {"changes", ChangesJson(p.changes)}});
    }
  }
  for (const ItemFacts& item : d.onlyInA) items["onlyInA"].push_back(ItemJson(item));
  for (const ItemFacts& item : d.onlyInB) items["onlyInB"].push_back(ItemJson(item));
  const nlohmann::json out = {
      {"a", package(a, fa)},
      {"b", package(b, fb)},
      {"same", d.Same()},
      {"header", ChangesJson(d.header)},
      {"products", {{"onlyInA", CodesJson(d.productsOnlyInA)}, {"onlyInB", CodesJson(d.productsOnlyInB)}}},
      {"items", items}};
  std::printf("%s\n", out.dump(2).c_str());
}

}  // namespace

int Diff(int argc, char** argv) {
  std::vector<const char*> packages;
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
    } else {
      packages.push_back(argv[i]);
    }
  }
  if (packages.size() != 2) return UsageError("give two packages");

  const std::optional<PackageFacts> a = ReadSound(packages[0]);
  const std::optional<PackageFacts> b = a ? ReadSound(packages[1]) : std::nullopt;
  if (!a || !b) return kExitUsage;
  const PackageDiff d = ComparePackages(*a, *b);
  if (json) {
    PrintJson(packages[0], packages[1], *a, *b, d);
  } else {
    PrintText(packages[0], packages[1], *a, *b, d);
  }
  return d.Same() ? 0 : kExitDifferent;
}

}  // namespace quarnet::cli

#include <cstdio>
#include <cstring>

#include "apps/quarnet-cli/commands.h"
#include "package/format.h"
#include "ui/product_table.h"

namespace quarnet::cli {
namespace {

constexpr char kProductsUsage[] =
    "Usage: quarnet-cli products\n"
    "\n"
    "Prints the built-in product table, one row a line in table order:\n"
    "version TAB product name TAB product code.\n";

void PrintField(const std::array<char, 128>& field, char end) {
  const std::string_view text = GetText(field);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc(end, stdout);
}

}  // namespace

int Products(int argc, char** argv) {
  if (argc == 1 && (std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0)) {
    std::fputs(kProductsUsage, stdout);
    return 0;
  }
  if (argc != 0) {
    std::fputs(kProductsUsage, stderr);
    return kExitUsage;
  }
  for (const ProductInfo* row = ProductTable(); row->szVersion[0] != '\0'; ++row) {
    PrintField(row->szVersion, '\t');
    PrintField(row->szProductName, '\t');
    PrintField(row->szProductCode, '\n');
  }
  return 0;
}

}  // namespace quarnet::cli

#pragma once
// The built-in product table: rows of version, product name and product
// code, ended by a row whose version is empty. Every walk starts at the
// first row and stops at that terminating row.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quarnet {

struct ProductInfo {
  std::array<char, 128> szVersion;
  std::array<char, 128> szProductName;
  std::array<char, 128> szProductCode;
};
static_assert(sizeof(ProductInfo) == 384);

// The shipped table: 50 rows and the terminating row.
const ProductInfo* ProductTable();

// The product names of the shipped table's rows of `code`, each once, in
// table order; none for a code the table does not know.
std::vector<std::string> ProductNames(std::string_view code);

}  // namespace quarnet

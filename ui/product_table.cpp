#include "ui/product_table.h"

namespace quarnet {
namespace {
// Rows in progress.
constexpr ProductInfo kTable[] = {{}};
}  // namespace

const ProductInfo* ProductTable() { return kTable; }

}  // namespace quarnet

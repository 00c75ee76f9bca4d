#pragma once
// The product selection dialog: ONT versions and products as two check
// lists. Ticking a version ticks all of its products; ticking a product by
// hand clears the version ticks. The ticked products' codes, each once and
// each followed by "|", form the product list in the field below, where it
// can also be typed; OK returns the field's text.
#include <map>
#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/product_table.h"

namespace quarnet {

class ProductDialog : public DialogLogic {
 public:
  static const DialogLayout kLayout;

  // `table` defaults to the built-in product table.
  ProductDialog(DialogAccess& access, Language language, const ProductInfo* table = ProductTable());

  void OnInit() override;
  void OnCommand(int id) override;
  void OnCheckChange(int id) override;

  // The rows of the two lists, in the table's order, each name once.
  const std::vector<std::string>& Versions() const { return versions_; }
  const std::vector<std::string>& Products() const { return products_; }
  // The product list: the field's text after OK.
  const std::string& ProductList() const { return productList_; }

 private:
  void FillLists();
  void OnVersionsTicked();
  void UpdateProductList();

  DialogAccess& access_;
  Language language_;
  const ProductInfo* table_;
  std::vector<std::string> versions_;
  std::vector<std::string> products_;
  std::map<std::string, std::string> nameToCode_;
  std::string productList_;
};

}  // namespace quarnet

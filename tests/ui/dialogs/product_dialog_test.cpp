// The described product selection dialog without a toolkit, and how the
// main window passes its list on to the Package flow.
#include <gtest/gtest.h>

#include <set>

#include "package/format.h"
#include "tests/ui/dialogs/recording_window.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/product_dialog.h"

namespace quarnet::test {
namespace {

// The product dialog on a recording window.
struct Products {
  explicit Products(Language language = Language::kChinese, const ProductInfo* table = ProductTable())
      : dialog(window, language, table) {
    dialog.OnInit();
  }

  int Row(const std::string& name) const {
    const auto& names = dialog.Products();
    return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
  }
  std::set<std::string> Ticked(int list) const {
    const std::vector<std::string>& rows = list == idc::kVersionsList ? dialog.Versions() : dialog.Products();
    std::set<std::string> ticked;
    for (std::size_t row = 0; row < rows.size(); ++row) {
      if (window.GetItemCheck(list, static_cast<int>(row))) ticked.insert(rows[row]);
    }
    return ticked;
  }

  RecordingWindow window{ProductDialog::kSpec};
  ProductDialog dialog;
};

std::vector<const ProductInfo*> TableRows() {
  std::vector<const ProductInfo*> rows;
  for (const ProductInfo* row = ProductTable(); row->szVersion[0] != '\0'; ++row) rows.push_back(row);
  return rows;
}

// Worked out from the table: the products of `versions`, and the list of
// `products`' codes in the products list's order, each once.
std::set<std::string> ProductsOf(const std::set<std::string>& versions) {
  std::set<std::string> names;
  for (const ProductInfo* row : TableRows()) {
    if (versions.count(std::string(GetText(row->szVersion)))) names.emplace(GetText(row->szProductName));
  }
  return names;
}

std::string ListOf(const Products& p, const std::set<std::string>& products) {
  std::string list;
  for (const std::string& name : p.dialog.Products()) {
    if (!products.count(name)) continue;
    for (const ProductInfo* row : TableRows()) {
      const std::string code(GetText(row->szProductCode));
      if (GetText(row->szProductName) == name && list.find(code) == std::string::npos) list += code + "|";
      if (GetText(row->szProductName) == name) break;
    }
  }
  return list;
}

TEST(ProductDialog, OpensWithTextsAndListsInTableOrder) {
  const Products p(Language::kEnglish);
  EXPECT_EQ(p.window.title, "Please select the support products");
  EXPECT_EQ(p.window.GetText(idc::kVersionsGroup) + "|" + p.window.GetText(idc::kProductsGroup) + "|" +
                p.window.GetText(idc::kOk) + "|" + p.window.GetText(idc::kCancel),
            "ONT Versions|Products|OK|Close");
  EXPECT_EQ(p.window.At(idc::kVersionsList).items, p.dialog.Versions());
  EXPECT_EQ(p.window.At(idc::kProductsList).items, p.dialog.Products());
  ASSERT_EQ(p.dialog.Versions().size(), 12u);
  ASSERT_EQ(p.dialog.Products().size(), 33u);
  // Order of first appearance; a name under several versions is listed once.
  std::vector<std::string> names;
  for (const ProductInfo* row : TableRows()) {
    const std::string name(GetText(row->szProductName));
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  EXPECT_EQ(p.dialog.Products(), names);
  EXPECT_EQ(p.dialog.Versions()[0], GetText(TableRows()[0]->szVersion));
  EXPECT_TRUE(p.Ticked(idc::kProductsList).empty());
  EXPECT_EQ(p.window.GetText(idc::kProductListEdit), "");
}

// Each step ticks or unticks one version row; afterwards the products of
// the ticked versions, and only those, carry ticks, and the field lists
// their codes.
TEST(ProductDialog, VersionTicks) {
  const std::vector<std::vector<int>> rows = {{4}, {0, 7}, {0, 7, 0}, {3, 3}};
  for (const std::vector<int>& clicks : rows) {
    Products p;
    for (const int row : clicks) p.window.Tick(p.dialog, idc::kVersionsList, row);
    const std::set<std::string> products = ProductsOf(p.Ticked(idc::kVersionsList));
    EXPECT_EQ(p.Ticked(idc::kProductsList), products);
    EXPECT_EQ(p.window.GetText(idc::kProductListEdit), ListOf(p, products));
    EXPECT_EQ(products.empty(), (clicks == std::vector<int>{3, 3}));
  }
}

TEST(ProductDialog, ProductTickClearsVersionTicksAndKeepsProductTicks) {
  Products p;
  p.window.Tick(p.dialog, idc::kVersionsList, 1);
  p.window.Tick(p.dialog, idc::kVersionsList, 2);
  std::set<std::string> products = p.Ticked(idc::kProductsList);
  ASSERT_FALSE(products.empty());
  ASSERT_FALSE(products.count("Selvin-6"));
  p.window.Tick(p.dialog, idc::kProductsList, p.Row("Selvin-6"));
  EXPECT_TRUE(p.Ticked(idc::kVersionsList).empty());
  products.insert("Selvin-6");
  EXPECT_EQ(p.Ticked(idc::kProductsList), products);
  p.window.Tick(p.dialog, idc::kProductsList, p.Row(*products.begin()));
  products.erase(products.begin());
  EXPECT_EQ(p.Ticked(idc::kProductsList), products);
  EXPECT_EQ(p.window.GetText(idc::kProductListEdit), ListOf(p, products));
}

TEST(ProductDialog, SharedCodeListedOnce) {
  Products p;
  for (const char* name : {"Ambrel-2", "Lumiro-9", "Ambrel-1"}) p.window.Tick(p.dialog, idc::kProductsList, p.Row(name));
  EXPECT_EQ(p.window.GetText(idc::kProductListEdit), "1A0|22E|");
}

// OK returns the field's text as typed, until the next tick rewrites it.
TEST(ProductDialog, TypedTextReturnedUnchangedUntilTheNextTick) {
  Products p;
  p.window.SetText(idc::kProductListEdit, "zz9|odd");
  p.window.Click(p.dialog, idc::kOk);
  EXPECT_EQ(p.window.ended, idc::kOk);
  EXPECT_EQ(p.dialog.ProductList(), "zz9|odd");
  p.window.Tick(p.dialog, idc::kProductsList, 0);
  EXPECT_EQ(p.window.GetText(idc::kProductListEdit), "1A0|");
}

TEST(ProductDialog, EmptyTableGivesEmptyLists) {
  const ProductInfo empty[1] = {};
  Products p(Language::kChinese, empty);
  EXPECT_TRUE(p.window.At(idc::kVersionsList).items.empty());
  EXPECT_TRUE(p.window.At(idc::kProductsList).items.empty());
  p.window.Click(p.dialog, idc::kOk);
  EXPECT_EQ(p.dialog.ProductList(), "");
}

// What the main window gives the flow after the product dialog: at most
// 127 bytes, zero-filled; after Cancel -1 and the buffer as it was.
TEST(ProductDialog, ListForTheFlow) {
  const struct {
    std::optional<std::string> answer;
    int result;
    std::string written;
  } rows[] = {
      {"1A0|1D1|", 0, "1A0|1D1|"},
      {"", 0, ""},
      {std::string(130, 'x'), 0, std::string(127, 'x')},
      {std::nullopt, -1, std::string(127, '#')},
  };
  for (const auto& row : rows) {
    RecordingWindow window(MainDialog::kSpec);
    MainDialog main(window, Language::kChinese);
    window.productList = row.answer;
    ProductListBuffer buffer;
    buffer.fill('#');
    buffer.back() = '\0';
    EXPECT_EQ(main.SelectProducts(buffer), row.result);
    const std::string tail = row.result == 0 ? std::string(128 - row.written.size(), '\0') : std::string(1, '\0');
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), row.written + tail);
  }
}

}  // namespace
}  // namespace quarnet::test
